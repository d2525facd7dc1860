#include "PairEditor.h"

#include "FolderGrid.h"
#include "FolderPairList.h"
#include "FolderPairModel.h"
#include "PairEditingDecisions.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "UserPrompts.h"
#include "WaitCursor.h"
#include "frmKelvadon.h"
#include "frmSetMode.h"

#include <QCoreApplication>

namespace torvanelo {

PairEditor::PairEditor(frmKelvadon& window, SettingsStore& store, UserPrompts& prompts,
                       QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_store(store)
    , m_prompts(prompts) {}

void PairEditor::EditFolder(int folderKind, int operation) {
    if (!isValidEdit(folderKind, operation) || !m_window.ProcessingStopped())
        return;
    FolderGrid* grid = m_window.grid();
    FolderPairModel& model = m_window.pairModel();
    const int language = m_store.settings().Language;
    const int row = grid->currentRow();
    const bool source = isSourceKind(folderKind);
    const QString prompt = editFolderPrompt(folderKind, operation, language);

    QString current;
    if (operation == ModifyPair) {
        if (model.rowCount() == 0 || !grid->selectionHighlight() || row < 0) {
            m_prompts.message(&m_window, UserPrompts::Icon::Information, UserPrompts::Buttons::Ok,
                              ProductName, noPairToModifyText(folderKind, language));
            return;
        }
        // The folder itself, not the cell's text: the cell adds "??? " to a
        // missing folder and blanks to a Macintosh one, which must not find
        // their way into the path when the entry is confirmed unchanged.
        const FolderPair& pair = model.pairs()[std::size_t(row)];
        current = source ? pair.Source : pair.Target;
    }

    const std::optional<QString> path =
        isBrowsedKind(folderKind) ? m_prompts.browseFolder(&m_window, prompt, current)
                                  : m_prompts.enterText(&m_window, ProductName, prompt, current);
    if (!path || path->isEmpty())
        return;

    std::vector<FolderPair> rows = model.pairs();
    if (operation == AddPair) {
        rows.push_back(newFolderPair(*path));
    } else {
        const int pairNumber = model.index(row, 0).data(FolderPairModel::PairNumberRole).toInt();
        if (pairNumber < 1 || std::size_t(pairNumber) > rows.size())
            return;
        FolderPair& pair = rows[std::size_t(pairNumber) - 1];
        (source ? pair.Source : pair.Target) = *path;
    }
    const bool saved = saveAndReload(rows);

    // Only when the new pair is there: after a failed save the last row is
    // another pair, whose settings are not what the user is asked for.
    if (saved && folderKind == SourceBrowsed && operation == AddPair && model.rowCount() > 0
        && !m_window.exitRequested()) {
        const int last = model.rowCount() - 1;
        grid->makeCurrentRow(last);
        openSetMode(last);
    }
}

void PairEditor::cmdSupprimer_Click() {
    if (!m_window.ProcessingStopped())
        return;
    FolderGrid* grid = m_window.grid();
    FolderPairModel& model = m_window.pairModel();
    const int language = m_store.settings().Language;
    const int rowCount = model.rowCount();
    if (rowCount == 0) {
        m_prompts.message(&m_window, UserPrompts::Icon::Information, UserPrompts::Buttons::Ok,
                          ProductName, nothingToRemoveText(language));
        return;
    }
    if (!grid->selectionHighlight()) {
        m_prompts.message(&m_window, UserPrompts::Icon::Information, UserPrompts::Buttons::Ok,
                          ProductName, noPairToRemoveText(language));
        return;
    }
    if (m_prompts.message(&m_window, UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo,
                          ProductName, removeConfirmationText(language))
        != UserPrompts::Answer::Yes)
        return;
    // The selection as it is now: the confirmation may have moved the focus,
    // never the rows.
    const std::vector<int> kept =
        rowsAfterRemoval(model.rowCount(), grid->currentRow(), grid->selectionEndRow());
    std::vector<FolderPair> rows;
    rows.reserve(kept.size());
    for (const int row : kept) {
        const int pairNumber = model.index(row, 0).data(FolderPairModel::PairNumberRole).toInt();
        rows.push_back(model.pairs()[std::size_t(pairNumber) - 1]);
    }
    saveAndReload(rows);
}

void PairEditor::openSetMode(int row) {
    FolderPairModel& model = m_window.pairModel();
    if (row < 0 || row >= model.rowCount())
        return;
    frmSetMode dialog(
        m_store, model, row, m_window.ProcessingStopped(), m_prompts,
        [this](int selectedRow) {
            reload();
            if (!m_window.exitRequested())
                m_window.grid()->makeCurrentRow(selectedRow);
        },
        &m_window);
    dialog.exec();
}

bool PairEditor::saveAndReload(const std::vector<FolderPair>& rows) {
    bool saved = false;
    {
        WaitCursor wait;
        const Settings& s = m_store.settings();
        saved = SaveFolderPairs(m_store.parametersFile(), s.PairFile, rows);
        // One turn for the window to repaint; input waits for the reload, so
        // no second command runs on the list as it was.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    reload();
    return saved;
}

void PairEditor::reload() {
    PairFileFault fault = PairFileFault::None;
    {
        WaitCursor wait;
        fault = m_window.LoadFolderPairs();
    }
    if (fault != PairFileFault::None)
        m_window.endOnPairFileFault(fault);
}

void connectPairEditing(frmKelvadon& window, SettingsStore& store, UserPrompts& prompts) {
    auto* editor = new PairEditor(window, store, prompts, &window);
    QObject::connect(&window, &frmKelvadon::EditFolderRequested, editor, &PairEditor::EditFolder);
    QObject::connect(&window, &frmKelvadon::removePairsRequested, editor,
                     &PairEditor::cmdSupprimer_Click);
    QObject::connect(&window, &frmKelvadon::setModeRequested, editor, &PairEditor::openSetMode);
}

} // namespace torvanelo
