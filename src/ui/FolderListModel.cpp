#include "FolderListModel.h"

#include "FileSystem.h"
#include "FolderContents.h"
#include "FolderPrefix.h"
#include "Texts.h"

#include <algorithm>
#include <iterator>

namespace torvanelo {

QCollator FolderCollator(int language) {
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = isFrench(language) ? QLocale(QLocale::French, QLocale::France)
                                    : QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    return collator;
}

FolderListModel::FolderListModel(const FileSystem& files, std::function<int()> language,
                                 QObject* parent)
    : QAbstractListModel(parent)
    , m_files(files)
    , m_language(std::move(language))
    , m_collator(FolderCollator(m_language())) {
    m_step.setInterval(0);
    connect(&m_step, &QTimer::timeout, this, &FolderListModel::step);
}

void FolderListModel::list(const QString& folder) {
    clear();
    if (folder.isEmpty()) {
        finish();
        return;
    }
    auto entries = m_files.list(folder);
    if (!entries) {
        finish();
        return;
    }
    m_collator = FolderCollator(m_language());
    m_prefix = FolderPrefix(folder);
    m_pending = std::move(*entries);
    m_step.start();
    step();
}

void FolderListModel::clear() {
    m_step.stop();
    m_pending.clear();
    m_next = 0;
    if (!m_rows.empty()) {
        beginResetModel();
        m_rows.clear();
        endResetModel();
    }
}

void FolderListModel::step() {
    const std::size_t end = std::min(m_pending.size(), m_next + EntriesPerStep);
    std::vector<Row> batch;
    batch.reserve(end - m_next);
    for (; m_next < end; ++m_next) {
        const DirectoryEntry& entry = m_pending[m_next];
        const bool folder = entry.type == EntryType::Directory;
        std::optional<qint64> size;
        if (!folder) {
            if (const auto info = m_files.info(m_prefix + entry.name))
                size = info->size;
        }
        QString text = folder ? u'[' + entry.name + u']' : entry.name;
        QCollatorSortKey key = m_collator.sortKey(text);
        batch.push_back(Row{std::move(text), folder, size, std::move(key)});
    }
    // Names the collation holds equal (a and A) keep one order whatever
    // the file system's.
    const auto before = [](const Row& a, const Row& b) {
        const int order = a.key.compare(b.key);
        return order != 0 ? order < 0 : a.text < b.text;
    };
    std::sort(batch.begin(), batch.end(), before);
    std::vector<Row> merged;
    merged.reserve(m_rows.size() + batch.size());
    std::merge(std::make_move_iterator(m_rows.begin()), std::make_move_iterator(m_rows.end()),
               std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()),
               std::back_inserter(merged), before);
    beginResetModel();
    m_rows = std::move(merged);
    endResetModel();
    if (m_next >= m_pending.size())
        finish();
}

void FolderListModel::finish() {
    m_step.stop();
    m_pending.clear();
    m_next = 0;
    emit listed(int(m_rows.size()));
}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const Row& row = m_rows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return row.text;
    case Qt::ToolTipRole:
        return FolderItemTooltip(row.text, row.folder, row.size, m_language());
    case SizeRole:
        return row.size.value_or(0);
    case FolderRole:
        return row.folder;
    case SizeKnownRole:
        return row.size.has_value();
    default:
        return {};
    }
}

} // namespace torvanelo
