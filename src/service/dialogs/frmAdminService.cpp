#include "frmAdminService.h"

#include "DialogLook.h"
#include "ServiceControl.h"
#include "ServiceDialogDecisions.h"
#include "ServiceEventText.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "UserPrompts.h"
#include "WindowTexts.h"
#include "frmKelvadon.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace torvanelo {

namespace {

// The advice on accounts, written for the Windows service manager; its
// point holds here too: a service that reads network shares needs an
// account that may read them.
QString infoText(int language) {
    if (isFrench(language))
        return QStringLiteral("IMPORTANT: Si vous souhaitez accéder à des fichiers situés sur un "
                              "réseau, le service ")
               + ProductName
               + QStringLiteral(
                   " doit démarrer sous un compte utilisateur et non un compte système local "
                   "[voir par exemple: Microsoft Knowledge Base Articles Q132679, Q127862, "
                   "Q124184, Q120582, Q158508]. Dans ce cas, le service ne peut pas interagir "
                   "avec le bureau. Vérifier soigneusement la configuration de démarrage.");
    return QStringLiteral("IMPORTANT: If ") + ServiceDisplayName
           + QStringLiteral(
               " needs to access network files (non local files) you will need to configure it "
               "to start under a user account and not a local system account [see for exemple: "
               "Microsoft Knowledge Base Articles Q132679, Q127862, Q124184, Q120582, Q158508]. "
               "In this case, the service cannot interact with the desktop. Check carefully the "
               "configuration.");
}

QString installText(int language) {
    return Tr(language,
              u"- Installer Torvanelo Service et quitter\n- Configurer et lancer le service avec "
              u"'Panneau de configuration/Services'",
              u"- Install Torvanelo Service and exit\n- Configure and run Torvanelo Service using "
              u"'Control pannel/Services'");
}

QString removeText(int language) {
    if (isFrench(language))
        return QStringLiteral("Pour supprimer Torvanelo Service, vous pouvez aussi:\n- arrêter le "
                              "service avec 'Panneau de Configuration/Services'\n- lancer à "
                              "nouveau ")
               + ProductName + QStringLiteral(" (le programme, pas le service)");
    return QStringLiteral("To remove ") + ServiceDisplayName
           + QStringLiteral(", you can too:\n- stop Torvanelo Service using 'Control "
                            "pannel/Services'\n- run again ")
           + ProductName + QStringLiteral(" (the program, not the service)");
}

} // namespace

frmAdminService::frmAdminService(SettingsStore& store, ServiceControl& service,
                                 UserPrompts& prompts, frmKelvadon& window)
    : QDialog(&window)
    , m_store(store)
    , m_service(service)
    , m_prompts(prompts)
    , m_window(window) {
    setObjectName(QStringLiteral("frmAdminService"));
    setDialogLook(this);

    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    // The advice and the button notes wrap within this width.
    const int textWidth = fontMetrics().averageCharWidth() * 72;

    m_lblService = named(new QLabel(this), "lblService");
    QFont bold = m_lblService->font();
    bold.setBold(true);
    m_lblService->setFont(bold);
    m_lblService->setTextFormat(Qt::PlainText);
    m_lblInfo = named(new QLabel(this), "lblInfo");
    m_lblInfo->setWordWrap(true);
    m_lblInfo->setFixedWidth(textWidth);
    m_chkInteract = named(new QCheckBox(this), "chkInteract");
    m_lblInteract = named(new QLabel(this), "lblInteract");
    QPalette red = m_lblInteract->palette();
    red.setColor(QPalette::WindowText, QColor(Qt::red));
    m_lblInteract->setPalette(red);
    m_chkDossierErrEventLog = named(new QCheckBox(this), "chkDossierErrEventLog");

    m_frameType = named(new QGroupBox(this), "frameType");
    m_typeGroup = new QButtonGroup(this);
    auto* types = new QHBoxLayout(m_frameType);
    for (int index = 0; index < 3; ++index) {
        m_optType[index] = named(new QRadioButton(m_frameType), "optType");
        m_optType[index]->setProperty("index", index);
        m_typeGroup->addButton(m_optType[index], index);
        types->addWidget(m_optType[index]);
    }
    types->addStretch(1);

    m_cmdInstall = named(new QPushButton(this), "cmdInstall");
    m_lblInstall = named(new QLabel(this), "lblInstall");
    m_cmdRemove = named(new QPushButton(this), "cmdRemove");
    m_lblRemove = named(new QLabel(this), "lblRemove");
    m_cmdAnnuler = named(new QPushButton(this), "cmdAnnuler");
    m_cmdAnnuler->setDefault(true);
    for (QLabel* note : {m_lblInstall, m_lblRemove}) {
        note->setWordWrap(true);
        note->setFixedWidth(textWidth - m_cmdInstall->sizeHint().width() - 24);
    }

    auto* interact = new QVBoxLayout;
    interact->setSpacing(2);
    interact->addWidget(m_chkInteract);
    auto* interactNote = new QHBoxLayout;
    interactNote->setContentsMargins(20, 0, 0, 0);
    interactNote->addWidget(m_lblInteract);
    interact->addLayout(interactNote);
    // The note keeps its place, so the dialog does not jump when it shows.
    QSizePolicy keep = m_lblInteract->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_lblInteract->setSizePolicy(keep);

    auto* actions = new QGridLayout;
    actions->addWidget(m_cmdInstall, 0, 0, Qt::AlignTop);
    actions->addWidget(m_lblInstall, 0, 1);
    actions->addWidget(m_cmdRemove, 1, 0, Qt::AlignTop);
    actions->addWidget(m_lblRemove, 1, 1);
    actions->setColumnStretch(1, 1);
    actions->setVerticalSpacing(10);

    auto* close = new QHBoxLayout;
    close->addStretch(1);
    close->addWidget(m_cmdAnnuler);

    auto* all = new QVBoxLayout(this);
    all->addWidget(m_lblService);
    all->addSpacing(4);
    all->addWidget(m_lblInfo);
    all->addSpacing(4);
    all->addLayout(interact);
    all->addWidget(m_chkDossierErrEventLog);
    all->addWidget(m_frameType);
    all->addSpacing(4);
    all->addLayout(actions);
    all->addSpacing(6);
    all->addLayout(close);
    all->setSizeConstraint(QLayout::SetFixedSize);

    // Opening: the texts, then the state and the choices as the service
    // holds them.
    m_chkDossierErrEventLog->setChecked(m_store.settings().WarnEventLog);
    retranslate();
    const int language = m_store.settings().Language;
    m_lblService->setText(serviceStateText(m_service.IsInstalled(), language));
    m_optType[startTypeOption(m_service.StartType())]->setChecked(true);
    m_chkInteract->setChecked(m_service.Interactive());
    m_lblInteract->setVisible(m_chkInteract->isChecked());

    connect(m_chkInteract, &QCheckBox::clicked, this, &frmAdminService::chkInteract_Click);
    connect(m_chkDossierErrEventLog, &QCheckBox::clicked, this,
            &frmAdminService::chkDossierErrEventLog_Click);
    connect(m_cmdInstall, &QPushButton::clicked, this, &frmAdminService::cmdInstall_Click);
    connect(m_cmdRemove, &QPushButton::clicked, this, &frmAdminService::cmdRemove_Click);
    connect(m_cmdAnnuler, &QPushButton::clicked, this, &frmAdminService::reject);
}

void frmAdminService::retranslate() {
    const int language = m_store.settings().Language;
    setWindowTitle(ServiceDisplayName + QStringLiteral(" [NT]"));
    m_lblInfo->setText(infoText(language));
    m_chkInteract->setText(
        ServiceDisplayName
        + Tr(language, u" interagit avec le bureau", u" can interact with the desktop"));
    m_lblInteract->setText(Tr(language, u"Impossible d'accéder à des fichiers situés sur un réseau",
                              u"Cannot access network files"));
    m_chkDossierErrEventLog->setText(
        Tr(language, u"Mentionner les dossiers invalides dans l'Observateur d'événements",
           u"Log invalid folders in the Application EventLog"));
    m_frameType->setTitle(Tr(language, u"Type de démarrage", u"Start type"));
    m_optType[0]->setText(Tr(language, u"Automatique", u"Automatic"));
    m_optType[1]->setText(Tr(language, u"Manuel", u"Manual"));
    m_optType[2]->setText(Tr(language, u"Désactivé", u"Disabled"));
    m_lblInstall->setText(installText(language));
    m_cmdInstall->setText(Tr(language, u"&Installer", u"&Install"));
    m_lblRemove->setText(removeText(language));
    m_cmdRemove->setText(Tr(language, u"&Supprimer", u"&Remove"));
    m_cmdAnnuler->setText(cancelCaption(language));
}

void frmAdminService::chkInteract_Click() {
    m_lblInteract->setVisible(m_chkInteract->isChecked());
}

void frmAdminService::chkDossierErrEventLog_Click() {
    if (!m_store.setWarnEventLog(m_chkDossierErrEventLog->isChecked()))
        m_prompts.message(
            this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, productTitle(),
            settingNotSavedText(m_store.settings().Language, m_store.parametersFile().path()));
}

void frmAdminService::cmdInstall_Click() {
    const int language = m_store.settings().Language;
    switch (installService(m_service, m_typeGroup->checkedId(), m_chkInteract->isChecked())) {
    case InstallOutcome::AlreadyInstalled:
        m_lblService->setText(alreadyInstalledText(language));
        m_prompts.beep();
        return;
    case InstallOutcome::Untrusted:
        m_prompts.message(this, UserPrompts::Icon::Error, UserPrompts::Buttons::Ok, ProductName,
                          installFailedText(language) + QStringLiteral("\n\n")
                              + m_service.installRefusal(language));
        return;
    case InstallOutcome::Failed:
        // The program goes on as it was: ending it would leave the folders
        // without either the program or the service.
        m_lblService->setText(serviceStateText(m_service.IsInstalled(), language));
        m_prompts.message(this, UserPrompts::Icon::Error, UserPrompts::Buttons::Ok, ProductName,
                          installFailedText(language));
        return;
    case InstallOutcome::Installed:
        break;
    }
    m_window.setModeDisplay(ProgramMode::Service);
    const QString installed = serviceStateText(true, language);
    m_lblService->setText(installed);
    m_service.LogEvent(installed, EventInformation);
    m_prompts.message(this, UserPrompts::Icon::Information, UserPrompts::Buttons::Ok, ProductName,
                      installedMessageText(language));
    // The program must not work on the folders beside the service it has
    // just installed.
    m_window.exitProgram(0);
    accept();
}

void frmAdminService::cmdRemove_Click() {
    const int language = m_store.settings().Language;
    switch (removeService(m_service)) {
    case RemoveOutcome::Removed: {
        const QString removed = serviceRemovedStateText(language);
        m_lblService->setText(removed);
        m_service.LogEvent(removed, EventInformation);
        break;
    }
    case RemoveOutcome::NotInstalled:
        m_lblService->setText(serviceStateText(false, language));
        m_prompts.beep();
        break;
    case RemoveOutcome::Failed:
        // Still installed: the main window keeps its look, and nothing
        // claims a removal.
        m_lblService->setText(serviceNotRemovedText(language));
        m_prompts.beep();
        return;
    }
    m_window.setModeDisplay(ProgramMode::Application);
}

void frmAdminService::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

void connectServiceDialog(frmKelvadon& window, SettingsStore& store, ServiceControl& service,
                          UserPrompts& prompts) {
    QObject::connect(&window, &frmKelvadon::serviceDialogRequested, &window,
                     [&window, &store, &service, &prompts] {
                         frmAdminService dialog(store, service, prompts, window);
                         dialog.exec();
                     });
}

} // namespace torvanelo
