#include "frmKelvadon.h"

#include "DesktopNotifier.h"
#include "FolderGrid.h"
#include "FolderListModel.h"
#include "FolderPairModel.h"
#include "Pictures.h"
#include "ProcessingController.h"
#include "QtTranslations.h"
#include "QtUserPrompts.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "Twips.h"
#include "UserPrompts.h"
#include "WindowTexts.h"
#include "frmSplash.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>

namespace torvanelo {

namespace {

// Inside a frame: the frame's caption here takes a few pixels more than
// the original's, which its buttons make up for.
QRect inFrame(int left, int top, int width, int height) {
    return twips(left, top, width, height).translated(0, 3);
}

// Client area of 10350 by 6855 twips. Labels whose text would not fit this
// font at their original width are widened about their centre or towards
// their free side.
constexpr QSize ClientSize(690, 457);
constexpr QColor HeadingBlue(0, 0, 255);
constexpr QColor FileListCyan(0, 255, 255);

QLabel* makeLabel(QWidget* parent, const char* name, const QRect& geometry,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setAlignment(alignment);
    return label;
}

QGroupBox* makeFrame(QWidget* parent, const char* name, const QRect& geometry) {
    auto* frame = new QGroupBox(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setGeometry(geometry);
    return frame;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QRect& geometry) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

QLabel* makePicture(QWidget* parent, const char* name, const QRect& geometry, Picture picture,
                    QSize pictureSize) {
    QLabel* label = makeLabel(parent, name, geometry, Qt::AlignCenter);
    label->setPixmap(picturePixmap(picture, pictureSize, parent->devicePixelRatioF()));
    return label;
}

void setLabelColours(QLabel* label, const QColor& text, const QColor& background) {
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, text);
    colours.setColor(QPalette::Window, background);
    label->setPalette(colours);
    label->setAutoFillBackground(true);
}

void setBold(QWidget* widget, bool bold) {
    QFont font = widget->font();
    font.setBold(bold);
    widget->setFont(font);
}

} // namespace

frmKelvadon::frmKelvadon(SettingsStore& store, FolderPairModel& pairs, UserPrompts& prompts,
                         QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                              | Qt::WindowMinimizeButtonHint)
    , m_store(store)
    , m_pairs(pairs)
    , m_prompts(prompts) {
    setObjectName(QStringLiteral("frmKelvadon"));
    setWindowTitle(productTitle());
    setWindowIcon(pictureIcon(Picture::Program));
    m_Timer1.setParent(this);
    m_Timer1.setObjectName(QStringLiteral("Timer1"));
    m_Timer1.setInterval(1000);

    buildMenus();
    buildControls();
    connectControls();
    setFixedSize(ClientSize.width(), ClientSize.height() + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    m_placedAt = pos();
    // A move is remembered once the window has come to rest.
    m_positionTimer.setParent(this);
    m_positionTimer.setSingleShot(true);
    m_positionTimer.setInterval(500);
    connect(&m_positionTimer, &QTimer::timeout, this, &frmKelvadon::storePosition);
    setModeDisplay(ProgramMode::Application);
    setStartStopLook(StartStopPicture::Start, startTooltip(m_store.settings().Language),
                     action("mnuDemarrer")->text());
    updateTrayOnlyItems();
}

frmKelvadon::~frmKelvadon() {
    removeTrayIcon();
    delete m_splash.data();
}

// --- Building ---------------------------------------------------------------

QAction* frmKelvadon::action(const char* name) {
    const QByteArray key(name);
    auto found = m_actions.find(key);
    if (found != m_actions.end())
        return found->second;
    auto* created = new QAction(this);
    created->setObjectName(QString::fromLatin1(name));
    m_actions.emplace(key, created);
    return created;
}

QAction* frmKelvadon::toggle(const char* name) {
    QAction* created = action(name);
    created->setCheckable(true);
    return created;
}

void frmKelvadon::buildMenus() {
    QMenuBar* bar = menuBar();
    auto menu = [](QWidget* parent, const char* name) {
        auto* created = new QMenu(parent);
        created->setObjectName(QString::fromLatin1(name));
        return created;
    };
    auto separator = [](QMenu* into, const char* name) {
        QAction* line = into->addSeparator();
        line->setObjectName(QString::fromLatin1(name));
    };

    m_mnuFichier = menu(bar, "mnuFichier");
    bar->addMenu(m_mnuFichier);
    m_mnuFichier->addAction(action("mnuDemarrer"));
    m_mnuFichier->addAction(action("mnuFichierVoirLogs"));
    m_mnuFichier->addAction(action("mnuRestaurer"));
    separator(m_mnuFichier, "SepF0");
    m_mnuFichier->addAction(action("mnuQuitter"));

    m_mnuDossiers = menu(bar, "mnuDossiers");
    bar->addMenu(m_mnuDossiers);
    QMenu* add = menu(m_mnuDossiers, "mnuAjouterSource");
    m_mnuDossiers->addMenu(add);
    add->addAction(action("mnuAjouterSourceParcourir"));
    add->addAction(action("mnuAjouterSourceSaisir"));
    QMenu* modifySource = menu(m_mnuDossiers, "mnuModifierSource");
    m_mnuDossiers->addMenu(modifySource);
    modifySource->addAction(action("mnuModifierSourceParcourir"));
    modifySource->addAction(action("mnuModifierSourceSaisir"));
    separator(m_mnuDossiers, "SepD0");
    QMenu* modifyTarget = menu(m_mnuDossiers, "mnuModifierCible");
    m_mnuDossiers->addMenu(modifyTarget);
    modifyTarget->addAction(action("mnuModifierCibleParcourir"));
    modifyTarget->addAction(action("mnuModifierCibleSaisir"));
    separator(m_mnuDossiers, "SepD1");
    m_mnuDossiers->addAction(action("mnuSupprimerDossiers"));

    QMenu* configuration = menu(bar, "mnuConfiguration");
    bar->addMenu(configuration);
    configuration->addAction(action("mnuTempo"));
    configuration->addAction(action("mnuPerformance"));
    separator(configuration, "SepC1");
    configuration->addAction(action("mnuPrefixe"));
    configuration->addAction(toggle("mnuVoirConsoleRAR"));
    separator(configuration, "SepC2");
    configuration->addAction(toggle("mnuDossierErr"));
    separator(configuration, "SepC3");
    configuration->addAction(toggle("mnuAfficherFichiers"));
    action("mnuAfficherFichiers")->setShortcut(QKeySequence(Qt::Key_F2));
    separator(configuration, "SepC4");
    configuration->addAction(toggle("mnuAutomatique"));
    configuration->addAction(toggle("mnuArretAutomatique"));
    separator(configuration, "SepC5");
    configuration->addAction(action("mnuService"));

    QMenu* logs = menu(bar, "mnuLogs");
    bar->addMenu(logs);
    logs->addAction(toggle("mnuDefinirLogs"));
    logs->addAction(action("mnuVoirLogs"));
    action("mnuVoirLogs")->setShortcut(QKeySequence(Qt::Key_F1));
    logs->addAction(toggle("mnuPurgeLogs"));

    m_mnuLangue = menu(bar, "mnuLangue");
    bar->addMenu(m_mnuLangue);
    m_mnuLangue->addAction(toggle("mnuAnglais"));
    m_mnuLangue->addAction(toggle("mnuFrancais"));
    // The same in both languages; ApplyLanguage leaves them alone.
    action("mnuAnglais")->setText(QStringLiteral("&English"));
    action("mnuFrancais")->setText(QStringLiteral("&Français"));

    QMenu* about = menu(bar, "mnuAbout");
    bar->addMenu(about);
    about->setTitle(QStringLiteral("&?"));
    about->addAction(action("mnuAide"));
    about->addAction(action("mnuAPropos"));
}

void frmKelvadon::buildControls() {
    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("centralWidget"));
    m_central->setFixedSize(ClientSize);
    // Laid out for a small, narrow font: the texts must fit their places.
    QFont font = m_central->font();
    font.setPointSize(8);
    font.setStretch(QFont::SemiCondensed);
    m_central->setFont(font);
    setCentralWidget(m_central);
    QWidget* w = m_central;

    auto* lineMenu = new QFrame(w);
    lineMenu->setObjectName(QStringLiteral("LineMenu"));
    lineMenu->setFrameShape(QFrame::HLine);
    lineMenu->setFrameShadow(QFrame::Sunken);
    lineMenu->setGeometry(0, 0, px(10425), 2);

    const QColor headingText = palette().color(QPalette::Base);
    m_lblDossiersSources =
        makeLabel(w, "lblDossiersSources", twips(0, 10, 4815, 350), Qt::AlignCenter);
    m_lblNbDossiers = makeLabel(w, "lblNbDossiers", twips(4800, 10, 735, 350), Qt::AlignCenter);
    m_lblDossiersCibles =
        makeLabel(w, "lblDossiersCibles", twips(5520, 10, 4815, 350), Qt::AlignCenter);
    for (QLabel* heading : {m_lblDossiersSources, m_lblNbDossiers, m_lblDossiersCibles}) {
        setLabelColours(heading, headingText, HeadingBlue);
        setBold(heading, true);
        heading->setMouseTracking(true);
        heading->installEventFilter(this);
    }
    m_picFleche1 =
        makePicture(w, "picFleche1", twips(4700, 90, 150, 165), Picture::ArrowLeft, QSize(10, 11));
    m_picFleche2 =
        makePicture(w, "picFleche2", twips(5450, 90, 150, 165), Picture::ArrowRight, QSize(10, 11));

    m_grid = new FolderGrid(w);
    m_grid->setGeometry(twips(0, 360, 10335, 3120));
    m_grid->setPairModel(&m_pairs);

    buildLegend();

    m_lstFichiersSources = new QListView(w);
    m_lstFichiersSources->setObjectName(QStringLiteral("lstFichiersSources"));
    m_lstFichiersSources->setGeometry(twips(0, 3480, 5175, 1425));
    m_lstFichiersCibles = new QListView(w);
    m_lstFichiersCibles->setObjectName(QStringLiteral("lstFichiersCibles"));
    m_lstFichiersCibles->setGeometry(twips(5160, 3480, 5175, 1425));
    for (QListView* list : {m_lstFichiersSources, m_lstFichiersCibles}) {
        QPalette colours = list->palette();
        colours.setColor(QPalette::Base, FileListCyan);
        list->setPalette(colours);
        // One line per name: the view lays out tens of thousands of rows
        // without measuring each.
        list->setUniformItemSizes(true);
        list->setMouseTracking(true);
        list->hide();
    }
    m_lblNbFichiersSources =
        makeLabel(w, "lblNbFichiersSources", twips(0, 4920, 5175, 495), Qt::AlignCenter);
    m_lblNbFichiersCibles =
        makeLabel(w, "lblNbFichiersCibles", twips(5160, 4920, 5175, 495), Qt::AlignCenter);
    for (QLabel* count : {m_lblNbFichiersSources, m_lblNbFichiersCibles}) {
        count->setWordWrap(true);
        count->hide();
    }

    m_FrameSourcesCibles = makeFrame(w, "FrameSourcesCibles", twips(120, 5520, 2175, 735));
    m_cmdAjouterDossierSource =
        makeButton(m_FrameSourcesCibles, "cmdAjouterDossierSource", inFrame(120, 240, 855, 375));
    m_cmdSupprimer = makeButton(m_FrameSourcesCibles, "cmdSupprimer", inFrame(1080, 240, 855, 375));
    m_FrameSources = makeFrame(w, "FrameSources", twips(2400, 5520, 1095, 735));
    m_cmdModifierDossierSource =
        makeButton(m_FrameSources, "cmdModifierDossierSource", inFrame(120, 240, 855, 375));
    m_FrameCibles = makeFrame(w, "FrameCibles", twips(9120, 5520, 1095, 735));
    m_cmdModifierDossierCible =
        makeButton(m_FrameCibles, "cmdModifierDossierCible", inFrame(120, 240, 855, 375));

    m_lblVesk = makeLabel(w, "lblVesk", twips(3545, 5445, 1205, 195), Qt::AlignCenter);
    m_lblVesk->setEnabled(false);
    m_PictureMode = makeLabel(w, "PictureMode", twips(3960, 5660, 480, 480), Qt::AlignCenter);
    m_lblMode = makeLabel(w, "lblMode", twips(3635, 6130, 1205, 195), Qt::AlignCenter);
    m_lblMode->setEnabled(false);

    m_cmdMiroir = makeButton(w, "cmdMiroir", twips(4850, 5520, 730, 730));
    m_cmdMiroir->setIconSize(QSize(32, 32));
    QPalette blue = m_cmdMiroir->palette();
    blue.setColor(QPalette::Button, HeadingBlue);
    m_cmdMiroir->setPalette(blue);
    m_cmdMiroir->setAutoFillBackground(true);

    m_lblAttente =
        makeLabel(w, "lblAttente", twips(5610, 5520, 765, 195), Qt::AlignRight | Qt::AlignVCenter);
    m_ProgressBarAttente = new QProgressBar(w);
    m_ProgressBarAttente->setObjectName(QStringLiteral("ProgressBarAttente"));
    m_ProgressBarAttente->setGeometry(twips(6480, 5520, 2535, 255));
    m_lblTempo = makeLabel(w, "lblTempo", twips(5925, 5760, 510, 195));
    m_lblCopie =
        makeLabel(w, "lblCopie", twips(5595, 6000, 780, 195), Qt::AlignRight | Qt::AlignVCenter);
    m_ProgressBarCopie = new QProgressBar(w);
    m_ProgressBarCopie->setObjectName(QStringLiteral("ProgressBarCopie"));
    m_ProgressBarCopie->setGeometry(twips(6480, 6000, 2535, 255));
    for (QProgressBar* bar : {m_ProgressBarAttente, m_ProgressBarCopie}) {
        bar->setTextVisible(false);
        bar->setRange(0, 1);
        bar->setValue(0);
    }

    m_lblMessage = makeLabel(w, "lblMessage", twips(0, 6360, 10335, 465), Qt::AlignCenter);
    m_lblMessage->setAutoFillBackground(true);

    // Measures texts for the grid's tooltip; never shown.
    m_lblTestLongueur = makeLabel(w, "lblTestLongueur", QRect(0, 0, 1, 1));
    m_lblTestLongueur->setFont(m_grid->font());
    m_lblTestLongueur->hide();
    // The journal purge's scratch list on the original window; kept for
    // completeness of the window's controls, never shown.
    auto* scratch = new QListWidget(w);
    scratch->setObjectName(QStringLiteral("lstFichiersLogs"));
    scratch->hide();

    // First-use guidance, on the tooltip background, above everything else.
    const QColor tipText = palette().color(QPalette::ToolTipText);
    const QColor tipBase = palette().color(QPalette::ToolTipBase);
    m_lblBulle1 = makeLabel(w, "lblBulle1", twips(0, 0, 4665, 345), Qt::AlignCenter);
    m_lblBulle2 = makeLabel(w, "lblBulle2", twips(240, 6240, 2685, 300), Qt::AlignCenter);
    m_lblBulle3 = makeLabel(w, "lblBulle3", twips(4850, 6240, 1515, 300), Qt::AlignCenter);
    for (QLabel* bubble : {m_lblBulle1, m_lblBulle2, m_lblBulle3}) {
        setLabelColours(bubble, tipText, tipBase);
        bubble->setFrameShape(QFrame::Box);
        bubble->raise();
    }
    // From the "define folders" bubble up to the Add button.
    m_LineBulle = new QFrame(w);
    m_LineBulle->setObjectName(QStringLiteral("LineBulle"));
    m_LineBulle->setFrameShape(QFrame::VLine);
    m_LineBulle->setGeometry(px(600), px(6135), 2, px(120));
    m_LineBulle->raise();

    for (QWidget* background :
         {static_cast<QWidget*>(m_central), static_cast<QWidget*>(m_FrameSources),
          static_cast<QWidget*>(m_FrameCibles), static_cast<QWidget*>(m_FrameSourcesCibles),
          static_cast<QWidget*>(m_frameLegende), static_cast<QWidget*>(m_lblNbFichiersSources),
          static_cast<QWidget*>(m_lblNbFichiersCibles)})
        background->installEventFilter(this);
    m_central->setMouseTracking(true);
}

void frmKelvadon::buildLegend() {
    m_frameLegende = makeFrame(m_central, "frameLegende", twips(0, 3480, 10335, 1845));
    setBold(m_frameLegende, true);
    QGroupBox* frame = m_frameLegende;
    // The frame's caption is bold; its contents are not.
    auto normal = [](QLabel* label) {
        setBold(label, false);
        return label;
    };
    normal(makeLabel(frame, "lblClic", twips(240, 240, 2175 + 1200, 195)));
    m_PictureSetGris = makePicture(frame, "PictureSetGris", twips(240, 720, 765, 360),
                                   Picture::CompressGrey, ModePictureSize);
    m_lblLegende1 = normal(makeLabel(frame, "lblLegende1", twips(1080, 840, 900 + 300, 195)));
    m_PictureSetGrisMod = makePicture(frame, "PictureSetGrisMod", twips(240, 1320, 765, 360),
                                      Picture::UncompressGrey, ModePictureSize);
    m_lblLegende2 = normal(makeLabel(frame, "lblLegende2", twips(1080, 1440, 1095 + 300, 195)));
    auto* separator = new QFrame(frame);
    separator->setObjectName(QStringLiteral("Frame2"));
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(twips(5160, 120, 60, 1605));
    QLabel* disabled = normal(makeLabel(frame, "lblDisable", twips(5520, 360, 3570, 195)));
    QPalette grey = disabled->palette();
    grey.setColor(QPalette::WindowText, QColor::fromRgb(DisabledPairColour));
    disabled->setPalette(grey);
    QFont italic = disabled->font();
    italic.setItalic(true);
    disabled->setFont(italic);
    normal(makeLabel(frame, "lblLegende3", twips(5520, 840, 4635, 195)));
    normal(makeLabel(frame, "lblLegende4", twips(5520, 1320, 4695, 315)));
    m_PictureSetGris->installEventFilter(this);
    m_PictureSetGrisMod->installEventFilter(this);
}

void frmKelvadon::forward(QAction* source, void (frmKelvadon::*signal)()) {
    connect(source, &QAction::triggered, this, [this, signal] {
        emit(this->*signal)();
        // The dialog has written its settings; the marks follow them.
        showSettingsMarks();
    });
}

void frmKelvadon::connectControls() {
    connect(&m_Timer1, &QTimer::timeout, this, [this] {
        if (m_controller)
            m_controller->Timer1_Timer();
    });
    connect(m_cmdMiroir, &QPushButton::clicked, this, &frmKelvadon::cmdMiroir_Click);
    connect(action("mnuDemarrer"), &QAction::triggered, this, &frmKelvadon::cmdMiroir_Click);
    connect(action("mnuRestaurer"), &QAction::triggered, this, &frmKelvadon::restoreWindow);
    connect(action("mnuQuitter"), &QAction::triggered, this, &frmKelvadon::mnuQuitter_Click);
    connect(action("mnuAutomatique"), &QAction::triggered, this,
            &frmKelvadon::mnuAutomatique_Click);
    connect(action("mnuArretAutomatique"), &QAction::triggered, this,
            &frmKelvadon::mnuArretAutomatique_Click);
    connect(action("mnuVoirConsoleRAR"), &QAction::triggered, this,
            &frmKelvadon::mnuVoirConsoleRAR_Click);
    connect(action("mnuAnglais"), &QAction::triggered, this,
            [this] { mnuLangue_Click(LanguageEnglish); });
    connect(action("mnuFrancais"), &QAction::triggered, this,
            [this] { mnuLangue_Click(LanguageFrench); });

    // Pair editing.
    auto edit = [this](QObject* source, int folderKind, int operation) {
        auto run = [this, folderKind, operation] {
            emit EditFolderRequested(folderKind, operation);
        };
        if (auto* button = qobject_cast<QPushButton*>(source))
            connect(button, &QPushButton::clicked, this, run);
        else if (auto* item = qobject_cast<QAction*>(source))
            connect(item, &QAction::triggered, this, run);
    };
    edit(m_cmdAjouterDossierSource, 1, 1);
    edit(action("mnuAjouterSourceParcourir"), 1, 1);
    edit(action("mnuAjouterSourceSaisir"), 3, 1);
    edit(m_cmdModifierDossierSource, 1, 2);
    edit(action("mnuModifierSourceParcourir"), 1, 2);
    edit(action("mnuModifierSourceSaisir"), 3, 2);
    edit(m_cmdModifierDossierCible, 2, 2);
    edit(action("mnuModifierCibleParcourir"), 2, 2);
    edit(action("mnuModifierCibleSaisir"), 4, 2);
    connect(m_cmdSupprimer, &QPushButton::clicked, this, &frmKelvadon::removePairsRequested);
    connect(action("mnuSupprimerDossiers"), &QAction::triggered, this,
            &frmKelvadon::removePairsRequested);

    // The other windows.
    forward(action("mnuAfficherFichiers"), &frmKelvadon::toggleFolderFilesRequested);
    forward(action("mnuTempo"), &frmKelvadon::delayDialogRequested);
    connect(action("mnuTempo"), &QAction::triggered, this, &frmKelvadon::updateCountdownRange);
    forward(action("mnuPerformance"), &frmKelvadon::performanceDialogRequested);
    forward(action("mnuPrefixe"), &frmKelvadon::prefixDialogRequested);
    forward(action("mnuDossierErr"), &frmKelvadon::warningDialogRequested);
    forward(action("mnuDefinirLogs"), &frmKelvadon::logFolderDialogRequested);
    forward(action("mnuVoirLogs"), &frmKelvadon::logViewerRequested);
    forward(action("mnuFichierVoirLogs"), &frmKelvadon::logViewerRequested);
    forward(action("mnuPurgeLogs"), &frmKelvadon::purgeDialogRequested);
    forward(action("mnuAide"), &frmKelvadon::helpRequested);
    forward(action("mnuAPropos"), &frmKelvadon::aboutRequested);
    forward(action("mnuService"), &frmKelvadon::serviceDialogRequested);

    // The grid.
    connect(m_grid, &QAbstractItemView::clicked, this, &frmKelvadon::lstDossiers_Click);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, &frmKelvadon::lstDossiers_DblClick);
    connect(m_grid, &FolderGrid::deletePressed, this, &frmKelvadon::lstDossiers_DeletePressed);
    connect(m_grid, &FolderGrid::currentRowChanged, this, &frmKelvadon::lstDossiers_RowChange);
    connect(m_grid, &FolderGrid::pointerMoved, this, &frmKelvadon::lstDossiers_MouseMove);
}

// --- Controller and ways out ------------------------------------------------

void frmKelvadon::setController(ProcessingController* controller) {
    m_controller = controller;
    if (m_controller)
        connect(m_controller, &ProcessingController::passFinished, this,
                &frmKelvadon::updateTrayLook);
}

bool frmKelvadon::ProcessingStopped() const {
    return m_controller == nullptr || m_controller->ProcessingStopped();
}

void frmKelvadon::exitProgram(int status) {
    m_exitRequested = true;
    m_Timer1.stop();
    removeTrayIcon();
    if (m_splash)
        m_splash->hide();
    hide();
    if (m_exitHandler)
        m_exitHandler(status);
}

void frmKelvadon::cmdMiroir_Click() {
    if (m_controller)
        m_controller->cmdMiroir_Click();
}

void frmKelvadon::mnuQuitter_Click() {
    const int language = m_store.settings().Language;
    const auto answer =
        m_prompts.message(this, UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo,
                          ProductName, quitQuestion(language));
    if (answer == UserPrompts::Answer::Yes)
        exitProgram(0);
}

void frmKelvadon::mnuAutomatique_Click(bool checked) {
    const bool saved = m_store.setAutoStart(checked);
    showSettingsMarks();
    sayIfNotSaved(saved);
}

void frmKelvadon::mnuArretAutomatique_Click(bool checked) {
    const bool saved = m_store.setStopAfterFirstPass(checked);
    showSettingsMarks();
    sayIfNotSaved(saved);
}

void frmKelvadon::mnuVoirConsoleRAR_Click(bool checked) {
    const bool saved = m_store.setShowArchiverConsole(checked);
    showSettingsMarks();
    sayIfNotSaved(saved);
}

void frmKelvadon::mnuLangue_Click(int language) {
    const bool saved = m_store.setLanguage(qint16(language));
    ApplyLanguage();
    sayIfNotSaved(saved);
}

void frmKelvadon::sayIfNotSaved(bool saved) {
    if (saved)
        return;
    m_prompts.message(
        this, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok, productTitle(),
        settingNotSavedText(m_store.settings().Language, m_store.parametersFile().path()));
}

void frmKelvadon::closeEvent(QCloseEvent* event) {
    // No Close command: the ways out are Quit, the end after the first pass
    // and the refusals of start-up.
    event->ignore();
}

// --- Start-up pieces ----------------------------------------------------------

void frmKelvadon::setTitleText(const QString& title, bool copyToVesk) {
    setWindowTitle(title);
    if (copyToVesk)
        m_lblVesk->setText(title);
}

void frmKelvadon::setModeDisplay(ProgramMode mode) {
    const bool service = mode == ProgramMode::Service;
    m_serviceMode = service;
    m_PictureMode->setPixmap(picturePixmap(service ? Picture::Service : Picture::Application,
                                           QSize(32, 32), devicePixelRatioF()));
    m_lblMode->setText(service ? QStringLiteral("Service") : QStringLiteral("Application"));
    setModeTooltip(ProductName
                   + (service ? QStringLiteral(" Service") : QStringLiteral(" Application")));
}

void frmKelvadon::setModeTooltip(const QString& tooltip) {
    m_PictureMode->setToolTip(tooltip);
}

void frmKelvadon::showSettingsMarks() {
    const Settings& s = m_store.settings();
    action("mnuVoirConsoleRAR")->setChecked(s.ShowArchiverConsole);
    action("mnuAfficherFichiers")->setChecked(s.ShowFolderFiles);
    action("mnuAutomatique")->setChecked(s.AutoStart);
    action("mnuArretAutomatique")->setChecked(s.StopAfterFirstPass);
    // The event-log warning has its place in the service dialog.
    action("mnuDossierErr")
        ->setChecked(s.WarnOnScreen || s.WarnBeep || s.WarnNetSend || s.WarnDesktop);
    action("mnuDefinirLogs")->setChecked(s.LogEnabled);
    action("mnuPurgeLogs")->setChecked(s.PurgeOldLogs);
    action("mnuFrancais")->setChecked(isFrench(s.Language));
    action("mnuAnglais")->setChecked(!isFrench(s.Language));
    showFolderFilesLayout();
}

void frmKelvadon::showFolderFilesLayout() {
    const bool files = m_store.settings().ShowFolderFiles;
    for (QWidget* widget :
         {static_cast<QWidget*>(m_lstFichiersSources), static_cast<QWidget*>(m_lstFichiersCibles),
          static_cast<QWidget*>(m_lblNbFichiersSources),
          static_cast<QWidget*>(m_lblNbFichiersCibles)})
        widget->setVisible(files);
    // An empty list shows only the guidance.
    m_frameLegende->setVisible(!files && m_pairs.rowCount() > 0);
}

void frmKelvadon::updateCountdownRange() {
    const int delay = m_store.settings().DefaultDelay;
    m_ProgressBarAttente->setRange(0, delay < 2 ? 1 : delay - 1);
}

void frmKelvadon::ApplyLanguage() {
    const int language = m_store.settings().Language;
    useQtTranslations(language);
    // The counts and the information line come back from their owners; the
    // file lists keep their items.
    m_lblNbFichiersSources->clear();
    m_lblNbFichiersCibles->clear();
    showInformation(QString());
    m_describedRow = -1;
    action("mnuFrancais")->setChecked(isFrench(language));
    action("mnuAnglais")->setChecked(!isFrench(language));

    for (const CaptionText& caption : mainWindowCaptions()) {
        const QString name = caption.control.toString();
        const QString text = Tr(language, caption.french, caption.english);
        QObject* control = findChild<QObject*>(name);
        if (auto* item = qobject_cast<QAction*>(control))
            item->setText(text);
        else if (auto* menu = qobject_cast<QMenu*>(control))
            menu->setTitle(text);
        else if (auto* label = qobject_cast<QLabel*>(control))
            label->setText(text);
        else if (auto* frame = qobject_cast<QGroupBox*>(control))
            frame->setTitle(text);
        else if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->setText(text);
    }
    const QString browse = action("mnuAjouterSourceParcourir")->text();
    const QString type = action("mnuAjouterSourceSaisir")->text();
    action("mnuModifierSourceParcourir")->setText(browse);
    action("mnuModifierCibleParcourir")->setText(browse);
    action("mnuModifierSourceSaisir")->setText(type);
    action("mnuModifierCibleSaisir")->setText(type);
    action("mnuFichierVoirLogs")->setText(action("mnuVoirLogs")->text());
    action("mnuService")->setText(serviceMenuCaption(language));
    m_cmdMiroir->setToolTip(startTooltip(language));
    update();

    // Other open windows choose their texts again.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this) {
            QEvent change(QEvent::LanguageChange);
            QCoreApplication::sendEvent(window, &change);
        }
    }
}

void frmKelvadon::disableStart() {
    QPalette face = m_cmdMiroir->palette();
    face.setColor(QPalette::Button, QApplication::palette().color(QPalette::Button));
    m_cmdMiroir->setPalette(face);
    m_cmdMiroir->setEnabled(false);
    action("mnuDemarrer")->setEnabled(false);
}

PairFileFault frmKelvadon::LoadFolderPairs() {
    const Settings& s = m_store.settings();
    const PairFileFault fault = m_pairs.reload(m_store.parametersFile(), s.PairFile);
    const int rows = m_pairs.rowCount();
    if (rows > 0)
        m_grid->makeCurrentRow(rows - 1);
    m_lblNbDossiers->setText(QString::number(rows));
    const bool any = rows > 0;
    for (QWidget* guidance :
         {static_cast<QWidget*>(m_LineBulle), static_cast<QWidget*>(m_lblBulle1),
          static_cast<QWidget*>(m_lblBulle2), static_cast<QWidget*>(m_lblBulle3)})
        guidance->setVisible(!any);
    for (QWidget* heading :
         {static_cast<QWidget*>(m_lblDossiersSources), static_cast<QWidget*>(m_lblDossiersCibles),
          static_cast<QWidget*>(m_lblNbDossiers), static_cast<QWidget*>(m_picFleche1),
          static_cast<QWidget*>(m_picFleche2)})
        heading->setVisible(any);
    showFolderFilesLayout();
    if (!any)
        showInformation(QString());
    m_describedRow = -1;
    m_grid->setSelectionHighlight(false);
    m_lblTestLongueur->setText(m_lblNbDossiers->text());
    update();
    return fault;
}

void frmKelvadon::endOnPairFileFault(PairFileFault fault) {
    if (fault == PairFileFault::None)
        return;
    const Settings& s = m_store.settings();
    const QString text = fault == PairFileFault::InvalidHex
                             ? invalidHexMessage(s.PairFile)
                             : pairFileUnreadableText(s.Language, s.PairFile);
    m_prompts.message(this, UserPrompts::Icon::Error, UserPrompts::Buttons::Ok, ProductName, text);
    exitProgram(1);
}

// --- Tray, splash, window states ----------------------------------------------

void frmKelvadon::addTrayIcon() {
    m_trayTip = productTitle();
    if (m_tray)
        return;
    m_tray = new QSystemTrayIcon(this);
    m_tray->setObjectName(QStringLiteral("PictureTorvanelo"));
    updateTrayLook();
    m_tray->setContextMenu(m_mnuFichier);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick)
                    toggleFromTray();
            });
    m_tray->show();
}

void frmKelvadon::removeTrayIcon() {
    if (!m_tray)
        return;
    m_tray->hide();
    m_tray->setContextMenu(nullptr);
    delete m_tray;
    m_tray = nullptr;
}

bool frmKelvadon::hidesWhenMinimized() const {
    // The service started away from any desktop has no one to show a
    // window to; the same window on a desktop without a tray must stay
    // within reach.
    const bool trayThere =
        m_trayPresence ? m_trayPresence() : QSystemTrayIcon::isSystemTrayAvailable();
    const bool trayShown = m_tray && m_tray->isVisible() && trayThere;
    return trayShown || (m_serviceMode && QtUserPrompts::headless());
}

void frmKelvadon::minimizeToTray() {
    if (hidesWhenMinimized()) {
        setWindowState(windowState() | Qt::WindowMinimized);
        hide();
    } else {
        showMinimized();
    }
    updateTrayOnlyItems();
}

void frmKelvadon::restoreWindow() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
    updateTrayOnlyItems();
}

void frmKelvadon::toggleFromTray() {
    if (isHidden() || isMinimized())
        restoreWindow();
    else
        minimizeToTray();
}

frmSplash& frmKelvadon::splash() {
    if (!m_splash) {
        // Its own top-level window, not a child: its lblMessage must not be
        // mistaken for the main window's.
        m_splash = new frmSplash();
        connect(m_splash, &frmSplash::keyPressed, this, &frmKelvadon::splashKeyPressed);
    }
    return *m_splash;
}

void frmKelvadon::showStartSplash() {
    frmSplash& window = splash();
    window.setStopOnKey(m_store.settings().StopAfterFirstPass);
    window.showMessage(splashEscText(m_store.settings().Language));
}

void frmKelvadon::splashKeyPressed() {
    // This run only: the key in the parameters file keeps its value.
    m_store.overrideStopAfterFirstPass(false);
    showSettingsMarks();
    if (m_splash)
        m_splash->close();
    restoreWindow();
}

void frmKelvadon::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        // A minimized program lives in the tray only. Hidden after the state
        // change is complete: some window managers refuse a hide inside it.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isMinimized() && isVisible() && hidesWhenMinimized())
                    minimizeToTray();
            },
            Qt::QueuedConnection);
    }
}

void frmKelvadon::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    updateTrayOnlyItems();
    // The start button has the focus of a window just shown, as on the
    // original; the grid's keys act only once the user goes there.
    if (!m_grid->hasFocus())
        m_cmdMiroir->setFocus(Qt::OtherFocusReason);
}

void frmKelvadon::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    updateTrayOnlyItems();
}

void frmKelvadon::updateTrayOnlyItems() {
    // These two appear only in the tray's menu, while the window is hidden.
    const bool hidden = !isVisible() || isMinimized();
    action("mnuFichierVoirLogs")->setVisible(hidden);
    action("mnuRestaurer")->setVisible(hidden);
}

// --- Grid, pointer help, background -------------------------------------------

void frmKelvadon::lstDossiers_Click(const QModelIndex& index) {
    if (m_pairs.rowCount() == 0 || !index.isValid())
        return;
    m_grid->setSelectionHighlight(true);
    m_grid->makeCurrentRow(index.row());
    if (m_store.settings().ShowFolderFiles)
        emit showPairFilesRequested(index.row());
    if (index.column() == FolderPairModel::ModeColumn && ProcessingStopped()) {
        emit setModeRequested(index.row());
        // The pointer is still over the row: its description follows the
        // settings the dialog may have changed.
        if (!m_exitRequested)
            describePair(index.row());
    }
}

void frmKelvadon::lstDossiers_DblClick(const QModelIndex& index) {
    if (!index.isValid() || !ProcessingStopped())
        return;
    if (index.column() == FolderPairModel::SourceColumn)
        emit EditFolderRequested(1, 2);
    else if (index.column() == FolderPairModel::TargetColumn)
        emit EditFolderRequested(2, 2);
}

void frmKelvadon::lstDossiers_DeletePressed() {
    if (m_grid->selectionHighlight() && m_pairs.rowCount() > 0 && ProcessingStopped())
        emit removePairsRequested();
}

void frmKelvadon::lstDossiers_RowChange(int row) {
    if (m_pairs.rowCount() > 0 && m_store.settings().ShowFolderFiles)
        emit showPairFilesRequested(row);
}

void frmKelvadon::lstDossiers_MouseMove(const QPoint& position) {
    const int rows = m_pairs.rowCount();
    if (rows == 0 || !ProcessingStopped())
        return;
    const int row = m_grid->rowAt(position.y());
    if (row < 0) {
        clearInformationLine();
    } else if (row != m_describedRow) {
        describePair(row);
    }

    // The full text of a cell as its tooltip, only when the column is too
    // narrow for it.
    const int column = m_grid->columnAt(position.x());
    const QModelIndex cell = row < 0 || column < 0 ? QModelIndex() : m_pairs.index(row, column);
    const QString text = cell.data(Qt::DisplayRole).toString();
    m_lblTestLongueur->setText(text);
    const int room = m_grid->width() / 2 - px(230);
    const int needed = m_lblTestLongueur->fontMetrics().horizontalAdvance(text);
    m_grid->setToolTip(room >= needed ? QString() : text);
}

void frmKelvadon::describePair(int row) {
    if (row < 0 || row >= m_pairs.rowCount())
        return;
    const FolderPair& pair = m_pairs.pairs()[std::size_t(row)];
    const Settings& s = m_store.settings();
    showInformation(PairDescription(pair, m_pairs.folderText(row, FolderPairModel::SourceColumn),
                                    m_pairs.folderText(row, FolderPairModel::TargetColumn),
                                    s.DefaultDelay, s.Language));
    setMessageColour(!pair.enabled());
    m_describedRow = row;
}

void frmKelvadon::showInformation(const QString& text) {
    // Each line elided in its middle, so that a long pair keeps the start of
    // its source and the end of its target; the whole text as the tooltip.
    m_messageText = text;
    const QFontMetrics metrics = m_lblMessage->fontMetrics();
    const int width = m_lblMessage->contentsRect().width();
    QStringList lines = text.split(u'\n');
    for (QString& line : lines)
        line = metrics.elidedText(line, Qt::ElideMiddle, width);
    const QString shown = lines.join(u'\n');
    m_lblMessage->setText(shown);
    m_lblMessage->setToolTip(shown == text ? QString() : text);
}

void frmKelvadon::clearInformationLine() {
    showInformation(QString());
    setMessageColour(false);
    m_describedRow = -1;
}

void frmKelvadon::setMessageColour(bool disabledPair) {
    QPalette colours = m_lblMessage->palette();
    colours.setColor(QPalette::WindowText, disabledPair ? QColor::fromRgb(DisabledPairColour)
                                                        : palette().color(QPalette::ButtonText));
    m_lblMessage->setPalette(colours);
}

QString frmKelvadon::messageText() const {
    return m_messageText;
}

void frmKelvadon::clearFolderFiles() {
    for (QListView* list : {m_lstFichiersSources, m_lstFichiersCibles}) {
        if (auto* items = qobject_cast<FolderListModel*>(list->model()))
            items->clear();
        list->unsetCursor();
    }
    m_lblNbFichiersSources->clear();
    m_lblNbFichiersCibles->clear();
}

void frmKelvadon::backgroundClick() {
    if (!m_store.settings().ShowFolderFiles) {
        if (m_pairs.rowCount() > 0) {
            m_grid->makeCurrentRow(0);
            m_grid->setSelectionHighlight(false);
        }
        clearFolderFiles();
    }
    m_cmdMiroir->setFocus(Qt::OtherFocusReason);
}

void frmKelvadon::legendPress(QLabel* legend, bool bold) {
    setBold(legend, bold);
}

bool frmKelvadon::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == m_PictureSetGris || watched == m_PictureSetGrisMod) {
        QLabel* legend = watched == m_PictureSetGris ? m_lblLegende1 : m_lblLegende2;
        if (type == QEvent::MouseButtonPress) {
            legendPress(legend, true);
            return true;
        }
        if (type == QEvent::MouseButtonRelease) {
            legendPress(legend, false);
            return true;
        }
        return false;
    }
    if (type == QEvent::MouseMove
        && (watched == m_central || watched == m_lblDossiersSources
            || watched == m_lblDossiersCibles || watched == m_lblNbDossiers)) {
        // While passes run the information line belongs to them.
        if (ProcessingStopped())
            clearInformationLine();
        return false;
    }
    if (type == QEvent::MouseButtonPress
        && (watched == m_central || watched == m_FrameSources || watched == m_FrameCibles
            || watched == m_FrameSourcesCibles || watched == m_frameLegende
            || watched == m_lblNbFichiersSources || watched == m_lblNbFichiersCibles)) {
        backgroundClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- ProcessingView -----------------------------------------------------------

void frmKelvadon::setTempoText(const QString& text) {
    m_lblTempo->setText(text);
    m_lblTempo->adjustSize();
    m_lblTempo->repaint();
}

void frmKelvadon::setMessageText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    showInformation(shown);
    setMessageColour(false);
    m_describedRow = -1;
}

void frmKelvadon::setWaitProgress(int value) {
    m_ProgressBarAttente->setValue(
        std::clamp(value, m_ProgressBarAttente->minimum(), m_ProgressBarAttente->maximum()));
}

void frmKelvadon::setCopyProgressMaximum(int maximum) {
    m_ProgressBarCopie->setRange(0, std::max(1, maximum));
}

void frmKelvadon::setCopyProgress(int value) {
    m_ProgressBarCopie->setValue(
        std::clamp(value, m_ProgressBarCopie->minimum(), m_ProgressBarCopie->maximum()));
}

void frmKelvadon::setTimerEnabled(bool enabled) {
    if (enabled && !m_exitRequested)
        m_Timer1.start();
    else
        m_Timer1.stop();
}

void frmKelvadon::setTrayTip(const QString& tip) {
    m_trayTip = tip;
    // A new pass starts the warnings afresh: the mark says what the last
    // pass met.
    if (m_controller && m_controller->passRunning() && !ProcessingStopped()
        && m_trayState != TrayState::InPass)
        m_trayWarning.clear();
    updateTrayLook();
}

void frmKelvadon::updateTrayLook() {
    if (ProcessingStopped())
        m_trayState = TrayState::Stopped;
    else if (m_controller && m_controller->passRunning())
        m_trayState = TrayState::InPass;
    else
        m_trayState = TrayState::Waiting;
    if (!m_tray)
        return;
    m_tray->setIcon(trayPicture(m_trayState, !m_trayWarning.isEmpty()));
    m_tray->setToolTip(m_trayWarning.isEmpty() ? m_trayTip : m_trayTip + u'\n' + m_trayWarning);
}

void frmKelvadon::setStartStopLook(StartStopPicture picture, const QString& tooltip,
                                   const QString& menuCaption) {
    m_cmdMiroir->setIcon(
        pictureIcon(picture == StartStopPicture::Stop ? Picture::Stop : Picture::Start));
    m_cmdMiroir->setProperty("picture", picture == StartStopPicture::Stop
                                            ? QStringLiteral("stop")
                                            : QStringLiteral("start"));
    m_cmdMiroir->setToolTip(tooltip);
    action("mnuDemarrer")->setText(menuCaption);
}

void frmKelvadon::setControlEnabled(WindowControl control, bool enabled) {
    switch (control) {
    case WindowControl::cmdAjouterDossierSource:
        m_cmdAjouterDossierSource->setEnabled(enabled);
        break;
    case WindowControl::cmdSupprimer:
        m_cmdSupprimer->setEnabled(enabled);
        break;
    case WindowControl::cmdModifierDossierSource:
        m_cmdModifierDossierSource->setEnabled(enabled);
        break;
    case WindowControl::cmdModifierDossierCible:
        m_cmdModifierDossierCible->setEnabled(enabled);
        break;
    case WindowControl::mnuDossiers:
        m_mnuDossiers->menuAction()->setEnabled(enabled);
        break;
    case WindowControl::mnuTempo:
        action("mnuTempo")->setEnabled(enabled);
        break;
    case WindowControl::mnuLangue:
        m_mnuLangue->menuAction()->setEnabled(enabled);
        break;
    case WindowControl::mnuQuitter:
        action("mnuQuitter")->setEnabled(enabled);
        break;
    case WindowControl::mnuDefinirLogs:
        action("mnuDefinirLogs")->setEnabled(enabled);
        break;
    case WindowControl::mnuPurgeLogs:
        action("mnuPurgeLogs")->setEnabled(enabled);
        break;
    case WindowControl::mnuService:
        action("mnuService")->setEnabled(enabled);
        break;
    }
}

void frmKelvadon::refreshFolderFiles(bool includeTarget) {
    if (m_pairs.rowCount() > 0 && m_grid->selectionHighlight())
        emit refreshFolderFilesRequested(m_grid->currentRow(), includeTarget);
}

void frmKelvadon::restoreIfMinimized() {
    if (isHidden() || isMinimized())
        restoreWindow();
}

void frmKelvadon::processEvents() {
    QCoreApplication::processEvents();
}

void frmKelvadon::endProgram() {
    exitProgram(0);
}

// --- WarningView --------------------------------------------------------------

void frmKelvadon::showWarning(const QString& text) {
    frmSplash& window = splash();
    window.setStopOnKey(m_store.settings().StopAfterFirstPass);
    window.showMessage(text);
}

void frmKelvadon::beep() {
    m_prompts.beep();
}

void frmKelvadon::markWarning(const QString& text) {
    m_trayWarning = text;
    updateTrayLook();
}

void frmKelvadon::notifyDesktop(const QString& text) {
    if (!m_notifier)
        m_notifier = new DesktopNotifier(QDBusConnection::sessionBus(), this);
    m_notifier->notify(productTitle(), text);
}

// --- Window position ----------------------------------------------------------

void frmKelvadon::placeAtStoredPosition() {
    const QStringList parts = m_store.settings().WindowPosition.split(u',');
    bool xRead = false;
    bool yRead = false;
    const int x = parts.size() == 2 ? parts[0].trimmed().toInt(&xRead) : 0;
    const int y = parts.size() == 2 ? parts[1].trimmed().toInt(&yRead) : 0;
    if (!xRead || !yRead)
        return;
    // An edited value or a screen since removed must not put the window
    // out of sight: its title bar has to be on a screen.
    const QRect title(QPoint(x, y), QSize(width(), 24));
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(title)) {
            move(x, y);
            m_placedAt = pos();
            return;
        }
    }
}

void frmKelvadon::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible() && !isMinimized() && pos() != m_placedAt)
        m_positionTimer.start();
}

void frmKelvadon::storePosition() {
    if (!isVisible() || isMinimized() || m_exitRequested || pos() == m_placedAt)
        return;
    m_placedAt = pos();
    m_store.setWindowPosition(QString::number(m_placedAt.x()) + u','
                              + QString::number(m_placedAt.y()));
}

} // namespace torvanelo
