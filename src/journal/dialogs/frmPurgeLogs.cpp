#include "frmPurgeLogs.h"

#include "JournalDialogRules.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "UserPrompts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace torvanelo {

frmPurgeLogs::frmPurgeLogs(SettingsStore& store, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
    , m_store(store)
    , m_prompts(prompts) {
    setObjectName(QStringLiteral("frmPurgeLogs"));
    setModal(true);
    const Settings& s = m_store.settings();
    const int language = s.Language;
    setWindowTitle(productTitle());

    m_chkPurgeLogs = new QCheckBox(Tr(language, u"Effacer automatiquement les journaux après...",
                                      u"Remove Log files automatically after..."),
                                   this);
    m_chkPurgeLogs->setObjectName(QStringLiteral("chkPurgeLogs"));
    m_Text1 = new QLineEdit(this);
    m_Text1->setObjectName(QStringLiteral("Text1"));
    m_Text1->setFixedWidth(60);
    m_Text1->setAlignment(Qt::AlignRight);

    // UpDown1: the two arrows beside the box.
    auto* upDown = new QWidget(this);
    upDown->setObjectName(QStringLiteral("UpDown1"));
    m_up = new QToolButton(upDown);
    m_up->setObjectName(QStringLiteral("UpDown1Up"));
    m_up->setArrowType(Qt::UpArrow);
    m_down = new QToolButton(upDown);
    m_down->setObjectName(QStringLiteral("UpDown1Down"));
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {m_up, m_down}) {
        arrow->setAutoRepeat(true);
        arrow->setFixedSize(18, 12);
    }
    auto* arrows = new QVBoxLayout(upDown);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    arrows->addWidget(m_up);
    arrows->addWidget(m_down);

    m_lblJours = new QLabel(Tr(language, u"jours", u"days"), this);
    m_lblJours->setObjectName(QStringLiteral("lblJours"));
    m_Label1 = new QLabel(this);
    m_Label1->setObjectName(QStringLiteral("Label1"));
    QPalette red = m_Label1->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    m_Label1->setPalette(red);
    m_Label1->hide();

    m_cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdAnnuler = new QPushButton(Tr(language, u"&Annuler", u"&Cancel"), this);
    m_cmdAnnuler->setObjectName(QStringLiteral("cmdAnnuler"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_chkPurgeLogs);
    auto* number = new QHBoxLayout;
    number->addSpacing(24);
    number->addWidget(m_Text1);
    number->addWidget(upDown);
    number->addWidget(m_lblJours);
    number->addSpacing(12);
    number->addWidget(m_Label1);
    number->addStretch(1);
    layout->addLayout(number);
    layout->addSpacing(8);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdAnnuler);
    layout->addLayout(buttons);
    // Room for the bound text without the dialog changing size.
    setMinimumWidth(400);

    m_chkPurgeLogs->setChecked(s.PurgeOldLogs);
    m_Text1->setText(QString::number(s.LogRetention));

    connect(m_up, &QToolButton::clicked, this, &frmPurgeLogs::UpDown1_UpClick);
    connect(m_down, &QToolButton::clicked, this, &frmPurgeLogs::UpDown1_DownClick);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmPurgeLogs::cmdOK_Click);
    connect(m_cmdAnnuler, &QPushButton::clicked, this, &QDialog::reject);
}

void frmPurgeLogs::showBound(BoundText bound) {
    const QString text = BoundCaption(m_store.settings().Language, bound);
    m_Label1->setText(text);
    m_Label1->setVisible(!text.isEmpty());
}

void frmPurgeLogs::UpDown1_DownClick() {
    const ArrowStep step = PurgeDownArrow(m_Text1->text());
    showBound(step.bound);
    m_Text1->setText(QString::number(step.value));
}

void frmPurgeLogs::UpDown1_UpClick() {
    const ArrowStep step = PurgeUpArrow(m_Text1->text());
    showBound(step.bound);
    m_Text1->setText(QString::number(step.value));
}

void frmPurgeLogs::cmdOK_Click() {
    const QString typed = m_Text1->text();
    const auto retention = PurgeRetention(typed);
    if (!retention) {
        m_prompts.message(this, UserPrompts::Icon::Error, UserPrompts::Buttons::Ok, productTitle(),
                          InvalidValueText(m_store.settings().Language, typed));
        return;
    }
    bool saved = m_store.setPurgeOldLogs(m_chkPurgeLogs->isChecked());
    saved = m_store.setLogRetention(qint16(*retention)) && saved;
    if (!saved)
        m_prompts.message(
            this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, productTitle(),
            settingNotSavedText(m_store.settings().Language, m_store.parametersFile().path()));
    accept();
}

} // namespace torvanelo
