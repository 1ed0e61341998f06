// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one family of errors the storage layer throws. Each names the file (may be empty when no
// file is involved) and the fault; what() reads "FILE: fault" so a message box can show it as is.

#include <stdexcept>
#include <string>

namespace welarik {

class StorageError : public std::runtime_error
{
public:
    StorageError(std::string file, std::string fault);
    const std::string &file() const noexcept { return m_file; }
    const std::string &fault() const noexcept { return m_fault; }

private:
    std::string m_file;
    std::string m_fault;
};

// The file is missing, locked by another user, or cannot be opened for another reason.
class OpenError : public StorageError
{
public:
    using StorageError::StorageError;
};

// The bytes on disk contradict the format (truncated header, pointer out of range, loop...).
class CorruptFileError : public StorageError
{
public:
    using StorageError::StorageError;
};

// A read or write call of the operating system failed.
class IoError : public StorageError
{
public:
    using StorageError::StorageError;
};

// A text holds a character that the table's code page cannot store.
class EncodingError : public StorageError
{
public:
    using StorageError::StorageError;
};

// A field or tag is absent, has the wrong type, or a value does not fit it.
class FieldError : public StorageError
{
public:
    using StorageError::StorageError;
};

// An index tag cannot be used: unknown name, key expression the engine cannot evaluate.
class IndexError : public StorageError
{
public:
    using StorageError::StorageError;
};

// An operation is not allowed in the table's present state (write in browse state, delete on an
// empty table, filter that does not parse...).
class StateError : public StorageError
{
public:
    using StorageError::StorageError;
};

} // namespace welarik
