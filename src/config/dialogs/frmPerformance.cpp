#include "frmPerformance.h"

#include "DelayDecisions.h"
#include "DialogLook.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "UserPrompts.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace torvanelo {

frmPerformance::frmPerformance(SettingsStore& store, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent)
    , m_store(store)
    , m_prompts(prompts) {
    setObjectName(QStringLiteral("frmPerformance"));
    setDialogLook(this);

    m_lblPerformance = new QLabel(this);
    m_lblPerformance->setObjectName(QStringLiteral("lblPerformance"));
    m_HScroll1 = new QScrollBar(Qt::Horizontal, this);
    m_HScroll1->setObjectName(QStringLiteral("HScroll1"));
    m_HScroll1->setRange(MinimumPerformance, MaximumPerformance);
    m_HScroll1->setSingleStep(1);
    m_HScroll1->setPageStep(1);
    m_HScroll1->setMinimumWidth(360);
    // Keyboard users set it with the arrows, as with any other control.
    m_HScroll1->setFocusPolicy(Qt::StrongFocus);
    m_lblMin = new QLabel(this);
    m_lblMin->setObjectName(QStringLiteral("lblMin"));
    m_lblMax = new QLabel(this);
    m_lblMax->setObjectName(QStringLiteral("lblMax"));
    m_lblMax->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_cmdOK = new QPushButton(this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdAnnuler = new QPushButton(this);
    m_cmdAnnuler->setObjectName(QStringLiteral("cmdAnnuler"));

    auto* bar = new QGridLayout;
    bar->addWidget(m_HScroll1, 0, 0, 1, 2);
    bar->addWidget(m_lblMin, 1, 0, Qt::AlignLeft);
    bar->addWidget(m_lblMax, 1, 1, Qt::AlignRight);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdAnnuler);
    auto* all = new QVBoxLayout(this);
    all->addWidget(m_lblPerformance);
    all->addLayout(bar);
    all->addSpacing(6);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    m_HScroll1->setValue(performancePosition(m_store.settings().Performance));
    retranslate();
    connect(m_cmdOK, &QPushButton::clicked, this, &frmPerformance::accept);
    connect(m_cmdAnnuler, &QPushButton::clicked, this, &frmPerformance::reject);
}

void frmPerformance::retranslate() {
    const int language = m_store.settings().Language;
    setWindowTitle(productTitle());
    m_lblPerformance->setText(Tr(language, u"Régler la performance", u"Set performance"));
    m_lblMin->setText(
        Tr(language, u"Moins fluide et plus rapide", u"Flowing less freely and quicker"));
    m_lblMax->setText(
        Tr(language, u"Plus fluide et moins rapide", u"Flowing more freely and slower"));
    m_cmdOK->setText(okCaption());
    m_cmdAnnuler->setText(cancelCaption(language));
}

void frmPerformance::accept() {
    const bool saved = m_store.setPerformance(qint16(m_HScroll1->value()));
    if (!saved)
        m_prompts.message(
            this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, productTitle(),
            settingNotSavedText(m_store.settings().Language, m_store.parametersFile().path()));
    QDialog::accept();
}

void frmPerformance::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

} // namespace torvanelo
