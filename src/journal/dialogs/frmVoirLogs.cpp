#include "frmVoirLogs.h"

#include "Clock.h"
#include "DailyLog.h"
#include "FileSystem.h"
#include "FolderPrefix.h"
#include "JournalDialogRules.h"
#include "OpenDocument.h"
#include "Settings.h"
#include "Texts.h"
#include "Twips.h"
#include "UserPrompts.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>

namespace torvanelo {

namespace {

// Client area in twips; the scroll bar runs along the right edge.
constexpr int WindowWidth = 4455;
constexpr int WindowHeight = 2175;
constexpr int ScrollBarWidth = 255;
// The scroll bar's small and large steps: 10 screen pixels.
constexpr int ScrollStep = 10 * 15;

constexpr QColor LinkBlue(0, 0, 255);
// 800080 as the colour value (blue-green-red): red 128, blue 128.
constexpr QColor VisitedPurple(0x80, 0x00, 0x80);

void setTextColour(QLabel* label, const QColor& colour) {
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, colour);
    label->setPalette(colours);
}

} // namespace

QString ViewerCaption(int language) {
    return Tr(language, u"Voir les journaux - [Retour à ", u"Check Logs - [Back to ") + ProductName
           + Tr(language, u"] ->", u": close] ->");
}

frmVoirLogs::frmVoirLogs(const Settings& settings, FileSystem& files, const Clock& clock,
                         UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
    , m_settings(settings)
    , m_files(files)
    , m_clock(clock)
    , m_prompts(prompts) {
    setObjectName(QStringLiteral("frmVoirLogs"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(px(WindowWidth), px(WindowHeight));
    setAutoFillBackground(true);
    // The main window's small, narrow text, so that four dates fit on a row
    // with room between them.
    QFont small = font();
    small.setPointSize(8);
    small.setStretch(QFont::SemiCondensed);
    setFont(small);

    // The left edges of the second, third and fourth columns; never shown.
    const char* const markers[] = {"Label1", "Label2", "Label3"};
    for (int column = 1; column <= 3; ++column) {
        auto* marker = new QLabel(this);
        marker->setObjectName(QString::fromLatin1(markers[column - 1]));
        marker->move(px(ViewerLabelTwips(column).x()), px(ViewerLabelTwips(column).y()));
        marker->hide();
    }

    m_VScroll1 = new QScrollBar(Qt::Vertical, this);
    m_VScroll1->setObjectName(QStringLiteral("VScroll1"));
    m_VScroll1->setGeometry(width() - px(ScrollBarWidth), 0, px(ScrollBarWidth), height());
    // Labels move when the thumb is let go, not while it is dragged.
    m_VScroll1->setTracking(false);
    connect(m_VScroll1, &QScrollBar::valueChanged, this, &frmVoirLogs::VScroll1_Change);

    m_mnuSupprimer = new QMenu(this);
    m_mnuSupprimer->setObjectName(QStringLiteral("mnuSupprimer"));
    m_mnuSupprimer->setTitle(QStringLiteral("Supprimer"));
    m_mnuSupprimerLog = m_mnuSupprimer->addAction(QString());
    m_mnuSupprimerLog->setObjectName(QStringLiteral("mnuSupprimerLog"));
    m_mnuSupprimer->addSeparator()->setObjectName(QStringLiteral("Sep1"));
    // Does nothing but close the menu.
    m_mnuAnnuler = m_mnuSupprimer->addAction(QString());
    m_mnuAnnuler->setObjectName(QStringLiteral("mnuAnnuler"));
    connect(m_mnuSupprimerLog, &QAction::triggered, this, &frmVoirLogs::mnuSupprimerLog_Click);

    Form_Load();
}

void frmVoirLogs::Form_Load() {
    applyCaption();
    placeTopRight();

    m_folder = m_settings.LogFolder;
    const std::vector<QString> names = ListJournals(m_files, m_folder);
    for (const QString& name : names)
        addLabel(name);
    const int current = ViewerJournalToOpen(names, m_clock.now().date());
    if (current >= 0) {
        markVisited(current);
        OpenDocument(journalPath(current));
    }

    m_VScroll1->setRange(0, ViewerScrollMaximum(labelCount(), WindowHeight));
    m_VScroll1->setSingleStep(ScrollStep);
    m_VScroll1->setPageStep(ScrollStep);
    m_VScroll1->setValue(0);
    m_scrollValue = 0;
}

void frmVoirLogs::addLabel(const QString& fileName) {
    const int index = labelCount();
    auto* label = new QLabel(this);
    // A name is text, even when it looks like markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(JournalDate(fileName));
    // Every date label is "Label", told apart by its index, as a control
    // array is.
    label->setObjectName(QStringLiteral("Label"));
    label->setProperty("Index", index);
    label->setCursor(Qt::PointingHandCursor);
    QFont underlined = label->font();
    underlined.setUnderline(true);
    label->setFont(underlined);
    setTextColour(label, LinkBlue);
    label->adjustSize();
    label->installEventFilter(this);
    m_labels.push_back(DateLabel{label, fileName, ViewerLabelTwips(index)});
    placeLabel(m_labels.back());
    label->show();
    // The scroll bar stays on top of labels that reach under it.
    m_VScroll1->raise();
}

void frmVoirLogs::placeLabel(const DateLabel& entry) {
    entry.label->move(px(entry.twips.x()), px(entry.twips.y() - m_scrollValue));
}

QLabel* frmVoirLogs::dateLabel(int index) const {
    if (index < 0 || index >= labelCount())
        return nullptr;
    return m_labels[std::size_t(index)].label;
}

QString frmVoirLogs::journalPath(int index) const {
    if (index < 0 || index >= labelCount())
        return QString();
    return FolderPrefix(m_folder) + m_labels[std::size_t(index)].fileName;
}

bool frmVoirLogs::visited(int index) const {
    return index >= 0 && index < labelCount() && m_labels[std::size_t(index)].visited;
}

void frmVoirLogs::markVisited(int index) {
    DateLabel& entry = m_labels[std::size_t(index)];
    entry.visited = true;
    setTextColour(entry.label, VisitedPurple);
}

void frmVoirLogs::Label_Click(int index) {
    if (index < 0 || index >= labelCount())
        return;
    emit minimizeMainWindowRequested();
    markVisited(index);
    OpenDocument(journalPath(index));
}

void frmVoirLogs::Label_RightPress(int index, const QPoint& where) {
    if (index < 0 || index >= labelCount())
        return;
    const int language = m_settings.Language;
    m_mnuAnnuler->setText(Tr(language, u"Annuler", u"Cancel"));
    m_mnuSupprimerLog->setText(RemoveLogText(language, dateLabel(index)->text()));
    m_rightClicked = index;
    m_mnuSupprimer->popup(where);
}

void frmVoirLogs::mnuSupprimerLog_Click() {
    if (m_rightClicked < 0 || m_rightClicked >= labelCount())
        return;
    const int index = m_rightClicked;
    const int language = m_settings.Language;
    const QString date = dateLabel(index)->text();
    const auto answer =
        m_prompts.message(this, UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo,
                          ProductName, RemoveLogText(language, date));
    if (answer != UserPrompts::Answer::Yes)
        return;
    const QString path = journalPath(index);
    // Gone is what was asked for, whoever removed it; a journal that stays
    // (no right to delete it) keeps its label and the user is told.
    if (!m_files.remove(path) && m_files.exists(path)) {
        m_prompts.message(this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, ProductName,
                          RemoveLogFailedText(language, date));
        return;
    }
    // The others keep their places: the gap stays until the next opening.
    dateLabel(index)->hide();
}

void frmVoirLogs::VScroll1_Change(int value) {
    m_scrollValue = value;
    for (const DateLabel& entry : m_labels)
        placeLabel(entry);
}

void frmVoirLogs::applyCaption() {
    setWindowTitle(ViewerCaption(m_settings.Language));
}

void frmVoirLogs::placeTopRight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame is known once the window is shown; until then its width is
    // the client's.
    const QRect area = screen->availableGeometry();
    move(area.right() + 1 - frameGeometry().width(), area.top());
}

void frmVoirLogs::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        placeTopRight();
}

void frmVoirLogs::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit viewerClosed();
}

void frmVoirLogs::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        applyCaption();
}

bool frmVoirLogs::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return QWidget::eventFilter(watched, event);
    auto* label = qobject_cast<QLabel*>(watched);
    if (!label || label->objectName() != u"Label")
        return QWidget::eventFilter(watched, event);
    const int index = label->property("Index").toInt();
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
        Label_RightPress(index, mouse->globalPosition().toPoint());
        return true;
    }
    if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton
        && label->rect().contains(mouse->position().toPoint())) {
        Label_Click(index);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace torvanelo
