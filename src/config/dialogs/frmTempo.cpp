#include "frmTempo.h"

#include "DelayDecisions.h"
#include "DialogLook.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "UserPrompts.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace torvanelo {

UpDownArrows::UpDownArrows(QWidget* parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this)) {
    setObjectName(QStringLiteral("UpDown1"));
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (QToolButton* arrow : {m_up, m_down}) {
        arrow->setAutoRepeat(true);
        arrow->setFixedSize(18, 12);
        arrow->setFocusPolicy(Qt::NoFocus);
        column->addWidget(arrow);
    }
    connect(m_up, &QToolButton::clicked, this, &UpDownArrows::up);
    connect(m_down, &QToolButton::clicked, this, &UpDownArrows::down);
}

frmTempo::frmTempo(SettingsStore& store, UserPrompts& prompts, std::function<void()> delayChanged,
                   QWidget* parent)
    : QDialog(parent)
    , m_store(store)
    , m_prompts(prompts)
    , m_delayChanged(std::move(delayChanged)) {
    setObjectName(QStringLiteral("frmTempo"));
    setDialogLook(this);

    m_lblTempo = new QLabel(this);
    m_lblTempo->setObjectName(QStringLiteral("lblTempo"));
    m_Text1 = new QLineEdit(this);
    m_Text1->setObjectName(QStringLiteral("Text1"));
    m_Text1->setFixedWidth(m_Text1->fontMetrics().horizontalAdvance(QStringLiteral("00000000"))
                           + 12);
    m_Text1->setAlignment(Qt::AlignRight);
    m_UpDown1 = new UpDownArrows(this);
    m_lblSecondes = new QLabel(this);
    m_lblSecondes->setObjectName(QStringLiteral("lblSecondes"));
    m_Label1 = new QLabel(this);
    m_Label1->setObjectName(QStringLiteral("Label1"));
    m_Label1->hide();
    m_cmdOK = new QPushButton(this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdAnnuler = new QPushButton(this);
    m_cmdAnnuler->setObjectName(QStringLiteral("cmdAnnuler"));

    auto* box = new QHBoxLayout;
    box->setSpacing(2);
    box->addWidget(m_Text1);
    box->addWidget(m_UpDown1);
    box->addSpacing(6);
    box->addWidget(m_lblSecondes);
    box->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdAnnuler);
    auto* all = new QVBoxLayout(this);
    all->addWidget(m_lblTempo);
    all->addLayout(box);
    // The minimum text keeps its place, so the dialog does not jump.
    QSizePolicy keep = m_Label1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_Label1->setSizePolicy(keep);
    all->addWidget(m_Label1);
    all->addSpacing(6);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    m_Text1->setText(QString::number(m_store.settings().DefaultDelay));
    m_Text1->selectAll();
    retranslate();
    connect(m_UpDown1, &UpDownArrows::down, this, &frmTempo::UpDown1_DownClick);
    connect(m_UpDown1, &UpDownArrows::up, this, &frmTempo::UpDown1_UpClick);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmTempo::accept);
    connect(m_cmdAnnuler, &QPushButton::clicked, this, &frmTempo::reject);
}

void frmTempo::retranslate() {
    const int language = m_store.settings().Language;
    setWindowTitle(productTitle());
    m_lblTempo->setText(Tr(language, u"Régler la temporisation par défaut entre les traitements",
                           u"Set default time between two operations"));
    m_lblSecondes->setText(Tr(language, u"secondes", u"seconds"));
    m_Label1->setText(
        Tr(language, u"Temporisation minimale atteinte", u"Minimal temporisation reached"));
    m_cmdOK->setText(okCaption());
    m_cmdAnnuler->setText(cancelCaption(language));
}

void frmTempo::UpDown1_DownClick() {
    const ArrowStep step = arrowDown(m_Text1->text());
    m_Label1->setVisible(step.atMinimum);
    m_Text1->setText(QString::number(step.delay));
}

void frmTempo::UpDown1_UpClick() {
    const ArrowStep step = arrowUp(m_Text1->text());
    m_Label1->setVisible(step.atMinimum);
    m_Text1->setText(QString::number(step.delay));
}

void frmTempo::accept() {
    const QString typed = m_Text1->text();
    const std::optional<int> delay = acceptedDelay(typed);
    if (!delay) {
        m_prompts.message(this, UserPrompts::Icon::Error, UserPrompts::Buttons::Ok, productTitle(),
                          invalidDelayText(typed, m_store.settings().Language));
        m_Text1->setFocus(Qt::OtherFocusReason);
        return;
    }
    const bool saved = m_store.setDefaultDelay(qint16(*delay));
    if (!saved)
        m_prompts.message(
            this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, productTitle(),
            settingNotSavedText(m_store.settings().Language, m_store.parametersFile().path()));
    if (m_delayChanged)
        m_delayChanged();
    QDialog::accept();
}

void frmTempo::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

} // namespace torvanelo
