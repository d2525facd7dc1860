#include "frmAvertirDossierErr.h"

#include "DialogLook.h"
#include "FolderWarnings.h"
#include "ProcessRunner.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "UserPrompts.h"
#include "WarningDialogDecisions.h"
#include "frmKelvadon.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace torvanelo {

frmAvertirDossierErr::frmAvertirDossierErr(SettingsStore& store, UserPrompts& prompts,
                                           ProcessRunner& runner, QWidget* parent)
    : QDialog(parent)
    , m_store(store)
    , m_prompts(prompts)
    , m_runner(runner) {
    setObjectName(QStringLiteral("frmAvertirDossierErr"));
    setDialogLook(this);

    m_chkDossierErr = new QCheckBox(this);
    m_chkDossierErr->setObjectName(QStringLiteral("chkDossierErr"));
    m_chkDossierErrSon = new QCheckBox(this);
    m_chkDossierErrSon->setObjectName(QStringLiteral("chkDossierErrSon"));
    m_chkDossierErrNetSend = new QCheckBox(this);
    m_chkDossierErrNetSend->setObjectName(QStringLiteral("chkDossierErrNetSend"));
    m_chkDossierErrNotification = new QCheckBox(this);
    m_chkDossierErrNotification->setObjectName(QStringLiteral("chkDossierErrNotification"));
    m_txtNetSend = new QLineEdit(this);
    m_txtNetSend->setObjectName(QStringLiteral("txtNetSend"));
    m_txtNetSend->setMinimumWidth(380);
    m_lblNetSend = new QLabel(this);
    m_lblNetSend->setObjectName(QStringLiteral("lblNetSend"));
    m_cmdEssayer = new QPushButton(this);
    m_cmdEssayer->setObjectName(QStringLiteral("cmdEssayer"));
    m_cmdOK = new QPushButton(this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdAnnuler = new QPushButton(this);
    m_cmdAnnuler->setObjectName(QStringLiteral("cmdAnnuler"));

    auto* netSend = new QHBoxLayout;
    netSend->addWidget(m_txtNetSend, 1);
    netSend->addWidget(m_cmdEssayer);
    auto* under = new QVBoxLayout;
    under->setContentsMargins(20, 0, 0, 0);
    under->addLayout(netSend);
    under->addWidget(m_lblNetSend);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdAnnuler);
    auto* all = new QVBoxLayout(this);
    all->addWidget(m_chkDossierErr);
    all->addWidget(m_chkDossierErrSon);
    all->addWidget(m_chkDossierErrNetSend);
    all->addLayout(under);
    all->addWidget(m_chkDossierErrNotification);
    all->addSpacing(6);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    // On this system the net send way is always offered: the command is the
    // administrator's own, started through the shell.
    const Settings& s = m_store.settings();
    m_chkDossierErr->setChecked(s.WarnOnScreen);
    m_chkDossierErrSon->setChecked(s.WarnBeep);
    m_chkDossierErrNetSend->setChecked(s.WarnNetSend);
    m_chkDossierErrNotification->setChecked(s.WarnDesktop);
    m_txtNetSend->setText(s.NetSendMessage);
    chkDossierErrNetSend_Click();
    retranslate();

    connect(m_chkDossierErrNetSend, &QCheckBox::clicked, this,
            &frmAvertirDossierErr::chkDossierErrNetSend_Click);
    connect(m_cmdEssayer, &QPushButton::clicked, this, &frmAvertirDossierErr::cmdEssayer_Click);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmAvertirDossierErr::accept);
    connect(m_cmdAnnuler, &QPushButton::clicked, this, &frmAvertirDossierErr::reject);
}

void frmAvertirDossierErr::retranslate() {
    const int language = m_store.settings().Language;
    setWindowTitle(
        Tr(language, u"Avertir lorsqu'un dossier est inconnu", u"Warning on unknown folder"));
    m_chkDossierErr->setText(Tr(language, u"Avertir par un message à l'écran et dans le journal",
                                u"Warning using display and Log messages"));
    m_chkDossierErrSon->setText(Tr(language, u"Avertissement sonore", u"Beep warning"));
    m_chkDossierErrNetSend->setText(Tr(language, u"Avertir par un message 'net send' (ci-dessous)",
                                       u"Warning using a 'net send' message (see below)"));
    m_chkDossierErrNotification->setText(Tr(language, u"Avertir par une notification du bureau",
                                            u"Warning using a desktop notification"));
    m_lblNetSend->setText(Tr(language,
                             u"NT seulement - utiliser WinPopup pour recevoir les messages",
                             u"NT only - use WinPopup to receive messages"));
    m_cmdEssayer->setText(Tr(language, u"Essayer", u"Try"));
    m_cmdOK->setText(okCaption());
    m_cmdAnnuler->setText(cancelCaption(language));
}

void frmAvertirDossierErr::chkDossierErrNetSend_Click() {
    const bool on = m_chkDossierErrNetSend->isChecked();
    m_txtNetSend->setEnabled(on);
    m_cmdEssayer->setEnabled(on);
    m_lblNetSend->setEnabled(on);
}

void frmAvertirDossierErr::cmdEssayer_Click() {
    const QString text = m_txtNetSend->text();
    if (text.isEmpty()) {
        m_prompts.message(this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, ProductName,
                          noMessageText(m_store.settings().Language));
        return;
    }
    // Not waited for, and its outcome not judged: the messenger reports
    // nothing the program could show.
    m_runner.startShellDetached(netSendCommand(text));
}

void frmAvertirDossierErr::accept() {
    const bool saved = storeWarningSettings(
        m_store, WarningChoice{m_chkDossierErr->isChecked(), m_chkDossierErrSon->isChecked(),
                               m_chkDossierErrNetSend->isChecked(), m_txtNetSend->text(),
                               m_chkDossierErrNotification->isChecked()});
    if (!saved)
        m_prompts.message(
            this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, productTitle(),
            settingNotSavedText(m_store.settings().Language, m_store.parametersFile().path()));
    QDialog::accept();
}

void frmAvertirDossierErr::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

void connectWarningDialog(frmKelvadon& window, SettingsStore& store, UserPrompts& prompts,
                          ProcessRunner& runner) {
    // The window sets the check mark of mnuDossierErr from the stored
    // settings once the dialog has closed.
    QObject::connect(&window, &frmKelvadon::warningDialogRequested, &window,
                     [&window, &store, &prompts, &runner] {
                         frmAvertirDossierErr dialog(store, prompts, runner, &window);
                         dialog.exec();
                     });
}

} // namespace torvanelo
