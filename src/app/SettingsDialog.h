// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings dialog "Ustawienia programu": open the last catalogue at start, ask before
// leaving, completion in the film editor, the folder of the side tables. It reads and writes
// the values through Settings (Settings.h) when shown and on OK.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace welarik {

class SettingsDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget *parent = nullptr);

    // Fills the controls from the settings.
    void load();
    // Writes the controls' values.
    void save();

    QCheckBox *openLastBox() const { return m_openLast; }
    QCheckBox *askBeforeQuitBox() const { return m_askBeforeQuit; }
    QCheckBox *autocompleteBox() const { return m_autocomplete; }
    QLineEdit *dataFolderEdit() const { return m_dataFolder; }
    QPushButton *chooseFolderButton() const { return m_choose; }
    QPushButton *okButton() const { return m_ok; }

private:
    QCheckBox *m_openLast = nullptr;
    QCheckBox *m_askBeforeQuit = nullptr;
    QCheckBox *m_autocomplete = nullptr;
    QLineEdit *m_dataFolder = nullptr;
    QPushButton *m_choose = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace welarik
