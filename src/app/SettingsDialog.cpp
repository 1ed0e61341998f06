// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsDialog.h"

#include "Desktop.h"
#include "Guard.h"
#include "Settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace welarik {

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgUstawienia"));
    setWindowTitle(QStringLiteral("Ustawienia programu"));
    auto *column = new QVBoxLayout(this);
    m_openLast = new QCheckBox(QStringLiteral("&Otwieraj ostatnią bazę przy starcie"), this);
    m_openLast->setObjectName(QStringLiteral("chkOstatniaBaza"));
    m_askBeforeQuit = new QCheckBox(QStringLiteral("&Pytaj przed zakończeniem programu"), this);
    m_askBeforeQuit->setObjectName(QStringLiteral("chkPytajPrzedKoncem"));
    m_autocomplete = new QCheckBox(QStringLiteral("&Autouzupełnianie w oknie danych filmu"), this);
    m_autocomplete->setObjectName(QStringLiteral("chkAutouzupelnianie"));
    column->addWidget(m_openLast);
    column->addWidget(m_askBeforeQuit);
    column->addWidget(m_autocomplete);

    auto *folderBox = new QGroupBox(QStringLiteral("&Folder tabel pomocniczych"), this);
    auto *folderColumn = new QVBoxLayout(folderBox);
    auto *folderLine = new QHBoxLayout;
    m_dataFolder = new QLineEdit(folderBox);
    m_dataFolder->setObjectName(QStringLiteral("edFolderBaz"));
    m_dataFolder->setPlaceholderText(QStringLiteral("folder BAZY programu"));
    m_choose = new QPushButton(QStringLiteral("&Wybierz..."), folderBox);
    m_choose->setObjectName(QStringLiteral("btnWybierzFolder"));
    m_choose->setAutoDefault(false);
    auto *reset = new QPushButton(QStringLiteral("&Domyślny"), folderBox);
    reset->setAutoDefault(false);
    folderLine->addWidget(m_dataFolder, 1);
    folderLine->addWidget(m_choose);
    folderLine->addWidget(reset);
    folderColumn->addLayout(folderLine);
    auto *note = new QLabel(
        QStringLiteral("Pusty: folder BAZY programu. Zmiana działa po ponownym uruchomieniu "
                       "programu."),
        folderBox);
    note->setWordWrap(true);
    folderColumn->addWidget(note);
    column->addWidget(folderBox);
    column->addStretch(1);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    m_ok->setDefault(true);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connectGuarded(m_choose, &QPushButton::clicked, this, [this] {
        const QString start
            = m_dataFolder->text().isEmpty() ? QDir::homePath() : m_dataFolder->text();
        const QString folder = Desktop::instance().existingFolder(this, start);
        if (!folder.isEmpty())
            m_dataFolder->setText(QDir::toNativeSeparators(folder));
    });
    connect(reset, &QPushButton::clicked, m_dataFolder, &QLineEdit::clear);
    resize(480, 260);
}

void SettingsDialog::load()
{
    m_openLast->setChecked(Settings::openLastCatalogue());
    m_askBeforeQuit->setChecked(Settings::askBeforeQuit());
    m_autocomplete->setChecked(Settings::autocomplete());
    m_dataFolder->setText(Settings::dataFolder());
}

void SettingsDialog::save()
{
    Settings::setOpenLastCatalogue(m_openLast->isChecked());
    Settings::setAskBeforeQuit(m_askBeforeQuit->isChecked());
    Settings::setAutocomplete(m_autocomplete->isChecked());
    Settings::setDataFolder(m_dataFolder->text().trimmed());
}

} // namespace welarik
