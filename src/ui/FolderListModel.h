#pragma once

#include "FileSystem.h"

#include <QAbstractListModel>
#include <QCollator>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

namespace torvanelo {

// One side of the folder contents: the entries of one folder, files by name
// and sub-folders in brackets, kept sorted as a file manager sorts them
// (the user's locale, case ignored, digits compared as numbers).
//
// list() reads the folder's names at once, then sizes and sorts the entries
// in steps of EntriesPerStep between turns of the event loop, so that a
// folder of tens of thousands of files never holds the window: the rows
// appear, sorted, step by step, and listed() tells the end. The first step
// runs inside list(), so a folder of up to EntriesPerStep entries is listed
// in full when list() returns. A new list() or clear() abandons a listing
// under way.
//
// Each row keeps the entry's full 64-bit size and whether it is a folder
// (SizeRole, FolderRole): a folder is known by its type, so no size can be
// mistaken for one. A file whose size could not be read (gone meanwhile)
// has SizeKnownRole false. The tooltip is made when asked, in the language
// of that moment.
class FolderListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { SizeRole = Qt::UserRole + 40, FolderRole, SizeKnownRole };
    static constexpr int EntriesPerStep = 500;

    FolderListModel(const FileSystem& files, std::function<int()> language,
                    QObject* parent = nullptr);

    // An empty folder path, a missing or an unreadable folder lists nothing.
    void list(const QString& folder);
    void clear();
    bool listing() const { return m_step.isActive(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    // The listing is complete; count is the number of rows.
    void listed(int count);

private:
    struct Row {
        QString text;
        bool folder = false;
        std::optional<qint64> size;
        QCollatorSortKey key;
    };

    void step();
    void finish();

    const FileSystem& m_files;
    std::function<int()> m_language;
    QCollator m_collator;
    QTimer m_step;
    QString m_prefix;
    std::vector<DirectoryEntry> m_pending;
    std::size_t m_next = 0;
    std::vector<Row> m_rows;
};

// The collation the lists sort by: the user's locale; where that is the
// plain C locale (services, minimal systems), which knows neither accents
// nor numbers, the locale of the program's language instead.
QCollator FolderCollator(int language);

} // namespace torvanelo
