// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results every modal window of the program closes with. A caller compares the number a
// window's exec() returned with these; the question dialog answers yes with Ok and no with
// Cancel.

namespace welarik {

enum ModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
};

} // namespace welarik
