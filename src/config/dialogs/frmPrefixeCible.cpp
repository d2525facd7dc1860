#include "frmPrefixeCible.h"

#include "DialogLook.h"
#include "PrefixDecisions.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "UserPrompts.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace torvanelo {

frmPrefixeCible::frmPrefixeCible(SettingsStore& store, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent)
    , m_store(store)
    , m_prompts(prompts) {
    setObjectName(QStringLiteral("frmPrefixeCible"));
    setDialogLook(this);

    m_lblPrefixe = new QLabel(this);
    m_lblPrefixe->setObjectName(QStringLiteral("lblPrefixe"));
    m_Text1 = new QLineEdit(this);
    m_Text1->setObjectName(QStringLiteral("Text1"));
    m_Text1->setFixedWidth(m_Text1->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")) + 12);
    m_cmdOK = new QPushButton(this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdAnnuler = new QPushButton(this);
    m_cmdAnnuler->setObjectName(QStringLiteral("cmdAnnuler"));

    auto* row = new QHBoxLayout;
    row->addWidget(m_lblPrefixe);
    row->addWidget(m_Text1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdAnnuler);
    auto* all = new QVBoxLayout(this);
    all->addLayout(row);
    all->addSpacing(6);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    // Shown as stored, even when an edited file holds something OK would
    // refuse: the user sees it and corrects it.
    m_Text1->setText(m_store.settings().CompressedPrefix);
    m_Text1->selectAll();
    retranslate();
    connect(m_cmdOK, &QPushButton::clicked, this, &frmPrefixeCible::accept);
    connect(m_cmdAnnuler, &QPushButton::clicked, this, &frmPrefixeCible::reject);
}

void frmPrefixeCible::retranslate() {
    const int language = m_store.settings().Language;
    setWindowTitle(productTitle());
    m_lblPrefixe->setText(Tr(language, u"Préfixe des fichiers compressés (2 caractères)",
                             u"Compressed files prefix (2 characters)"));
    m_cmdOK->setText(okCaption());
    m_cmdAnnuler->setText(cancelCaption(language));
}

void frmPrefixeCible::accept() {
    const PrefixCheck check = checkPrefix(m_Text1->text());
    m_Text1->setText(check.trimmed);
    if (check.status != PrefixCheck::Valid) {
        m_prompts.beep();
        m_prompts.message(this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok,
                          productTitle(),
                          prefixErrorText(check.status, m_store.settings().Language));
        m_Text1->setFocus(Qt::OtherFocusReason);
        return;
    }
    const bool saved = m_store.setCompressedPrefix(check.stored);
    if (!saved)
        m_prompts.message(
            this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, productTitle(),
            settingNotSavedText(m_store.settings().Language, m_store.parametersFile().path()));
    QDialog::accept();
}

void frmPrefixeCible::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

} // namespace torvanelo
