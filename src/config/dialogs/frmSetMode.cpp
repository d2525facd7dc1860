#include "frmSetMode.h"

#include "DialogLook.h"
#include "FolderPairModel.h"
#include "Pictures.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "UserPrompts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace torvanelo {

namespace {

QFrame* separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

frmSetMode::frmSetMode(SettingsStore& store, const FolderPairModel& pairs, int row,
                       bool processingStopped, UserPrompts& prompts, Reloaded reloaded,
                       QWidget* parent)
    : QDialog(parent)
    , m_store(store)
    , m_prompts(prompts)
    , m_reloaded(std::move(reloaded))
    , m_row(row) {
    setObjectName(QStringLiteral("frmSetMode"));
    setDialogLook(this);

    auto named = [](QWidget* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };

    m_lblFrom = new QLabel(this);
    m_lblTo = new QLabel(this);
    m_lblSource = new ElidedLabel(this);
    m_lblCible = new ElidedLabel(this);
    named(m_lblFrom, "lblFrom");
    named(m_lblTo, "lblTo");
    named(m_lblSource, "lblSource");
    named(m_lblCible, "lblCible");
    QFont bold = m_lblSource->font();
    bold.setBold(true);
    m_lblSource->setFont(bold);
    m_lblCible->setFont(bold);

    m_rarGroup = new QButtonGroup(this);
    m_tempoGroup = new QButtonGroup(this);
    for (int index = 0; index < 2; ++index) {
        m_optRar[index] = new QRadioButton(this);
        named(m_optRar[index], "optRar")->setProperty("index", index);
        m_rarGroup->addButton(m_optRar[index], index);
        m_optTempo[index] = new QRadioButton(this);
        named(m_optTempo[index], "optTempo")->setProperty("index", index);
        m_tempoGroup->addButton(m_optTempo[index], index);
    }
    m_PictureSet = new QLabel(this);
    m_PictureSetMod = new QLabel(this);
    named(m_PictureSet, "PictureSet");
    named(m_PictureSetMod, "PictureSetMod");
    m_PictureSet->setPixmap(picturePixmap(Picture::Compress, ModePictureSize, devicePixelRatioF()));
    m_PictureSetMod->setPixmap(
        picturePixmap(Picture::Uncompress, ModePictureSize, devicePixelRatioF()));
    for (QLabel* picture : {m_PictureSet, m_PictureSetMod}) {
        picture->setCursor(Qt::PointingHandCursor);
        picture->installEventFilter(this);
    }
    m_chkEnable = new QCheckBox(this);
    named(m_chkEnable, "chkEnable");

    m_txtMiroirN = new QLineEdit(this);
    named(m_txtMiroirN, "txtMiroirN");
    m_txtMiroirN->setFixedWidth(m_txtMiroirN->fontMetrics().horizontalAdvance(u'0') * 8 + 12);
    m_lblMiroirN1 = new QLabel(this);
    m_lblMiroirN2 = new QLabel(this);
    m_lblErr = new QLabel(this);
    named(m_lblMiroirN1, "lblMiroirN1");
    named(m_lblMiroirN2, "lblMiroirN2");
    named(m_lblErr, "lblErr");
    QPalette red = m_lblErr->palette();
    red.setColor(QPalette::WindowText, QColor(Qt::red));
    m_lblErr->setPalette(red);
    m_lblErr->hide();

    m_cmdOK = new QPushButton(this);
    m_cmdAnnuler = new QPushButton(this);
    named(m_cmdOK, "cmdOK");
    named(m_cmdAnnuler, "cmdAnnuler");
    m_cmdOK->setDefault(true);

    // Layout: the pair, the mode, the interval, the buttons.
    auto* pair = new QGridLayout;
    pair->addWidget(m_lblFrom, 0, 0);
    pair->addWidget(m_lblSource, 0, 1);
    pair->addWidget(m_lblTo, 1, 0);
    pair->addWidget(m_lblCible, 1, 1);
    pair->setColumnStretch(1, 1);

    auto* mode = new QGridLayout;
    mode->addWidget(m_PictureSet, 0, 0);
    mode->addWidget(m_optRar[0], 0, 1);
    mode->addWidget(m_PictureSetMod, 1, 0);
    mode->addWidget(m_optRar[1], 1, 1);
    mode->addWidget(m_chkEnable, 0, 2, 2, 1, Qt::AlignVCenter);
    mode->setColumnStretch(1, 1);
    mode->setHorizontalSpacing(12);

    auto* own = new QHBoxLayout;
    own->addWidget(m_optTempo[1]);
    own->addWidget(m_txtMiroirN);
    own->addWidget(m_lblMiroirN1, 1);
    auto* duration = new QGridLayout;
    // lblErr takes the place of lblMiroirN2.
    duration->addWidget(m_lblMiroirN2, 0, 0);
    duration->addWidget(m_lblErr, 0, 0);
    duration->setContentsMargins(m_optTempo[1]->sizeHint().width() + 6, 0, 0, 0);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdAnnuler);

    auto* all = new QVBoxLayout(this);
    all->addLayout(pair);
    all->addWidget(separator(this));
    all->addLayout(mode);
    all->addWidget(separator(this));
    all->addWidget(m_optTempo[0]);
    all->addLayout(own);
    all->addLayout(duration);
    all->addSpacing(6);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    // The pair of the row, as the grid shows it.
    const SetModeOpening opening = row >= 0 && row < pairs.rowCount()
                                       ? setModeOpening(pairs.pairs()[std::size_t(row)])
                                       : setModeOpening(FolderPair{});
    if (row >= 0 && row < pairs.rowCount()) {
        m_pairNumber = pairs.index(row, 0).data(FolderPairModel::PairNumberRole).toInt();
        m_lblSource->setText(pairs.folderText(row, FolderPairModel::SourceColumn));
        m_lblCible->setText(pairs.folderText(row, FolderPairModel::TargetColumn));
        m_lblSource->setToolTip(m_lblSource->text());
        m_lblCible->setToolTip(m_lblCible->text());
    }
    m_txtMiroirN->setText(opening.intervalText);
    m_optTempo[opening.ownInterval ? 1 : 0]->setChecked(true);
    m_txtMiroirN->setEnabled(opening.ownInterval);
    m_optRar[opening.uncompress ? 1 : 0]->setChecked(true);
    m_chkEnable->setChecked(opening.enabled);
    m_cmdOK->setEnabled(processingStopped && m_pairNumber > 0);

    retranslate();
    connect(m_txtMiroirN, &QLineEdit::textChanged, this, &frmSetMode::txtMiroirN_Change);
    connect(m_tempoGroup, &QButtonGroup::idClicked, this, &frmSetMode::optTempo_Click);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmSetMode::accept);
    connect(m_cmdAnnuler, &QPushButton::clicked, this, &frmSetMode::reject);
}

void frmSetMode::retranslate() {
    const Settings& s = m_store.settings();
    const int language = s.Language;
    const QString delay = QString::number(s.DefaultDelay);
    setWindowTitle(Tr(language, u"Paramètres et temporisation", u"Parameters and time setting"));
    m_lblFrom->setText(Tr(language, u"De", u"From"));
    m_lblTo->setText(Tr(language, u"Vers", u"To"));
    m_optRar[0]->setText(Tr(language, u"Compression", u"Compress"));
    m_optRar[1]->setText(Tr(language, u"Décompression", u"Uncompress"));
    m_chkEnable->setText(
        Tr(language, u"Compression/décompression active", u"Compress/uncompress enabled"));
    m_optTempo[0]->setText(isFrench(language)
                               ? QStringLiteral("Défaut: une seule temporisation de ") + delay
                                     + QStringLiteral(" secondes entre chaque traitement")
                               : QStringLiteral("Default: only one time interval (") + delay
                                     + QStringLiteral(" seconds) between operations"));
    m_lblMiroirN1->setText(isFrench(language)
                               ? QStringLiteral("temporisations de ") + delay
                                     + QStringLiteral(" secondes entre chaque traitement")
                               : QStringLiteral("time intervals (") + delay
                                     + QStringLiteral(" seconds) between operations"));
    m_cmdOK->setText(okCaption());
    m_cmdAnnuler->setText(cancelCaption(language));
    txtMiroirN_Change();
}

void frmSetMode::txtMiroirN_Change() {
    const QString text = m_txtMiroirN->text();
    const QString trimmed = text.trimmed();
    if (trimmed != text) {
        const QSignalBlocker quiet(m_txtMiroirN);
        m_txtMiroirN->setText(trimmed);
    }
    const Settings& s = m_store.settings();
    const IntervalCheck check = checkInterval(trimmed);
    if (check.status != IntervalCheck::Valid) {
        m_lblErr->setText(intervalErrorLabel(check.status, s.Language));
        m_lblErr->show();
        m_lblMiroirN2->hide();
        return;
    }
    m_lblErr->hide();
    m_lblMiroirN2->setText(durationLabel(check.passes, s.DefaultDelay, s.Language));
    m_lblMiroirN2->show();
}

void frmSetMode::optTempo_Click(int index) {
    m_txtMiroirN->setEnabled(index == 1);
}

SetModeChoice frmSetMode::choice() const {
    return SetModeChoice{m_optRar[1]->isChecked(), m_chkEnable->isChecked(),
                         m_optTempo[1]->isChecked(), m_txtMiroirN->text()};
}

void frmSetMode::accept() {
    if (!m_cmdOK->isEnabled())
        return;
    const SetModeResult result = setModeResult(choice());
    const int language = m_store.settings().Language;
    if (result.status != IntervalCheck::Valid) {
        m_prompts.message(this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, ProductName,
                          intervalErrorMessage(result.status, language));
        return;
    }
    // A failed write leaves the old keys, which the reload brings back.
    m_store.parametersFile().WriteProfileValues(setModeWrites(m_pairNumber, result));
    if (m_reloaded)
        m_reloaded(m_row);
    QDialog::accept();
}

void frmSetMode::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        retranslate();
}

bool frmSetMode::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == m_PictureSet) {
            m_optRar[0]->setChecked(true);
            return true;
        }
        if (watched == m_PictureSetMod) {
            m_optRar[1]->setChecked(true);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace torvanelo
