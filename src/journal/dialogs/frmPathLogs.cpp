#include "frmPathLogs.h"

#include "JournalDialogRules.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "UserPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace torvanelo {

namespace {

// A folder the tree can show: it exists and may be entered.
bool canShow(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isExecutable();
}

} // namespace

frmPathLogs::frmPathLogs(SettingsStore& store, UserPrompts& prompts, QWidget* parent,
                         std::vector<QString> drives)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
    , m_store(store)
    , m_prompts(prompts)
    , m_drives(drives.empty() ? MountedDrives() : std::move(drives)) {
    setObjectName(QStringLiteral("frmPathLogs"));
    setModal(true);
    const Settings& s = m_store.settings();
    const int language = s.Language;
    setWindowTitle(productTitle());

    m_chkLogs = new QCheckBox(Tr(language, u"Archiver quotidiennement les traitements effectués",
                                 u"Archive compress/uncompress operations in daily Log files"),
                              this);
    m_chkLogs->setObjectName(QStringLiteral("chkLogs"));
    m_chkFichiersLogs = new QCheckBox(Tr(language, u"Journaliser les noms des fichiers traités",
                                         u"Record files names in Log files"),
                                      this);
    m_chkFichiersLogs->setObjectName(QStringLiteral("chkFichiersLogs"));
    m_lblTitre = new QLabel(Tr(language, u"Les journaux sont stockés dans le dossier:",
                               u"Log files are stored in the following folder"),
                            this);
    m_lblTitre->setObjectName(QStringLiteral("lblTitre"));
    m_lblDossier = new QLabel(this);
    m_lblDossier->setObjectName(QStringLiteral("lblDossier"));
    m_lblDossier->setTextFormat(Qt::PlainText);
    m_lblDossier->setFrameShape(QFrame::Panel);
    m_lblDossier->setFrameShadow(QFrame::Sunken);
    m_lblDossier->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblDossier->setWordWrap(true);

    m_Lecteurs = new QComboBox(this);
    m_Lecteurs->setObjectName(QStringLiteral("Lecteurs"));
    for (const QString& drive : m_drives)
        m_Lecteurs->addItem(drive, drive);

    m_model = new QFileSystemModel(this);
    m_model->setObjectName(QStringLiteral("CheminsModel"));
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setReadOnly(true);
    m_Chemins = new QTreeView(this);
    m_Chemins->setObjectName(QStringLiteral("Chemins"));
    m_Chemins->setModel(m_model);
    m_Chemins->setHeaderHidden(true);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_Chemins->hideColumn(column);
    m_Chemins->setSelectionMode(QAbstractItemView::SingleSelection);
    m_Chemins->setMinimumHeight(220);
    // Folders appear as they are read; only the chosen drive stays visible
    // under its parent.
    connect(m_model, &QFileSystemModel::rowsInserted, this, [this] { hideOtherDrives(); });

    m_cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdAnnuler = new QPushButton(Tr(language, u"&Annuler", u"&Cancel"), this);
    m_cmdAnnuler->setObjectName(QStringLiteral("cmdAnnuler"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_chkLogs);
    layout->addWidget(m_chkFichiersLogs);
    layout->addSpacing(8);
    layout->addWidget(m_lblTitre);
    layout->addWidget(m_lblDossier);
    layout->addWidget(m_Lecteurs);
    layout->addWidget(m_Chemins, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdAnnuler);
    layout->addLayout(buttons);
    resize(440, 440);

    m_chkLogs->setChecked(s.LogEnabled);
    m_chkFichiersLogs->setChecked(s.LogFileNames);
    applyEnabling();

    // Where the tree starts: the program folder, then the journal folder
    // when it can be shown.
    if (!pointTreeAt(m_store.programFolder()))
        pointTreeAt(QStringLiteral("/"));
    pointTreeAt(s.LogFolder);

    connect(m_chkLogs, &QCheckBox::clicked, this, &frmPathLogs::chkLogs_Click);
    connect(m_Lecteurs, &QComboBox::activated, this, &frmPathLogs::Lecteurs_Change);
    connect(m_Chemins->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    Chemins_Change(m_model->filePath(current));
            });
    connect(m_cmdOK, &QPushButton::clicked, this, &frmPathLogs::cmdOK_Click);
    connect(m_cmdAnnuler, &QPushButton::clicked, this, &QDialog::reject);
}

void frmPathLogs::applyEnabling() {
    const bool on = m_chkLogs->isChecked();
    for (QWidget* control : {static_cast<QWidget*>(m_chkFichiersLogs),
                             static_cast<QWidget*>(m_lblTitre), static_cast<QWidget*>(m_Lecteurs),
                             static_cast<QWidget*>(m_Chemins), static_cast<QWidget*>(m_lblDossier)})
        control->setEnabled(on);
}

void frmPathLogs::chkLogs_Click() {
    applyEnabling();
}

bool frmPathLogs::pointTreeAt(const QString& folder) {
    if (folder.isEmpty() || !folder.startsWith(u'/') || !canShow(folder))
        return false;
    const QString drive = DriveOfFolder(folder, m_drives);
    if (drive.isEmpty())
        return false;
    const QModelIndex index = m_model->index(folder);
    if (!index.isValid())
        return false;
    if (drive != m_drive)
        showDriveInTree(drive);
    // The model may hand the folder back in its own spelling (no trailing
    // '/'); lblDossier and OK take the tree's.
    m_Chemins->setCurrentIndex(index);
    m_Chemins->scrollTo(index);
    m_Chemins->expand(index);
    Chemins_Change(m_model->filePath(index));
    return true;
}

void frmPathLogs::showDriveInTree(const QString& drive) {
    m_drive = drive;
    const int entry = m_Lecteurs->findData(drive);
    if (entry >= 0)
        m_Lecteurs->setCurrentIndex(entry);
    m_model->setRootPath(drive);
    const QModelIndex root = m_model->index(drive);
    m_Chemins->setRootIndex(root.parent());
    m_Chemins->expand(root);
    hideOtherDrives();
}

void frmPathLogs::hideOtherDrives() {
    const QModelIndex root = m_model->index(m_drive);
    if (!root.isValid())
        return;
    const QModelIndex parent = root.parent();
    for (int row = 0; row < m_model->rowCount(parent); ++row)
        m_Chemins->setRowHidden(row, parent, row != root.row());
}

void frmPathLogs::Lecteurs_Change(int index) {
    const QString drive = m_Lecteurs->itemData(index).toString();
    if (drive == m_drive)
        return;
    const auto remembered = m_lastFolderOfDrive.find(drive);
    if (remembered != m_lastFolderOfDrive.end() && pointTreeAt(remembered->second))
        return;
    if (pointTreeAt(drive))
        return;
    // Not ready: the list goes back to the drive of the tree's folder.
    const int previous = m_Lecteurs->findData(m_drive);
    if (previous >= 0)
        m_Lecteurs->setCurrentIndex(previous);
}

void frmPathLogs::Chemins_Change(const QString& folder) {
    m_folder = folder;
    m_lastFolderOfDrive[m_drive] = folder;
    m_lblDossier->setText(folder);
}

void frmPathLogs::cmdOK_Click() {
    // Each key is written even when one before it failed: the settings are in
    // force in memory all the same, and the user is told once.
    bool saved = m_store.setLogEnabled(m_chkLogs->isChecked());
    saved = m_store.setLogFileNames(m_chkFichiersLogs->isChecked()) && saved;
    saved = m_store.setLogFolder(m_folder) && saved;
    if (!saved)
        m_prompts.message(
            this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, productTitle(),
            settingNotSavedText(m_store.settings().Language, m_store.parametersFile().path()));
    accept();
}

} // namespace torvanelo
