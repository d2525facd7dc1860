#include "FolderBrowser.h"

#include "NameCodec.h"

#include <QCollator>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace torvanelo {

namespace {

constexpr int PathRole = Qt::UserRole;

QString childPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString parentPath(const QString& folder) {
    const qsizetype slash = folder.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

bool isFolder(const QString& path) {
    struct stat status {};
    return ::stat(encodeFileName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Names that are not valid UTF-8 are shown with the replacement character
// where their undecodable bytes are; the item keeps the exact path.
QString shown(const QString& name) {
    QString text = name;
    for (QChar& c : text) {
        if (c.isSurrogate())
            c = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace

QStringList subFolderNames(const QString& folder) {
    QStringList names;
    DIR* listing = ::opendir(encodeFileName(folder).constData());
    if (!listing)
        return names;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray bytes(entry->d_name);
        if (bytes == "." || bytes == "..")
            continue;
        const QString name = decodeFileName(bytes);
        if (isFolder(childPath(folder, name)))
            names << name;
    }
    ::closedir(listing);
    QCollator order;
    order.setCaseSensitivity(Qt::CaseInsensitive);
    order.setNumericMode(true);
    std::sort(names.begin(), names.end(), [&order](const QString& a, const QString& b) {
        const int compared = order.compare(a, b);
        return compared != 0 ? compared < 0 : a < b;
    });
    return names;
}

FolderBrowser::FolderBrowser(const QString& title, const QString& startFolder, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FolderBrowser"));
    setWindowTitle(title);
    m_lblDossier = new QLabel(this);
    m_lblDossier->setObjectName(QStringLiteral("lblDossier"));
    m_lblDossier->setTextFormat(Qt::PlainText);
    m_lstSousDossiers = new QListWidget(this);
    m_lstSousDossiers->setObjectName(QStringLiteral("lstSousDossiers"));
    m_lstSousDossiers->setMinimumSize(420, 300);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lblDossier);
    layout->addWidget(m_lstSousDossiers, 1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &FolderBrowser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FolderBrowser::reject);
    connect(m_lstSousDossiers, &QListWidget::itemActivated, this, &FolderBrowser::enterItem);

    QString start = startFolder;
    while (!start.startsWith(u'/') || !isFolder(start)) {
        if (!start.startsWith(u'/') || start == u"/") {
            start = QDir::homePath();
            if (!isFolder(start))
                start = QStringLiteral("/");
            break;
        }
        start = parentPath(start);
    }
    enter(start);
}

void FolderBrowser::enter(const QString& folder) {
    m_current = folder.size() > 1 && folder.endsWith(u'/') ? folder.chopped(1) : folder;
    m_lblDossier->setText(shown(m_current));
    m_lstSousDossiers->clear();
    if (m_current != u"/") {
        auto* up = new QListWidgetItem(QStringLiteral(".."), m_lstSousDossiers);
        up->setData(PathRole, parentPath(m_current));
    }
    for (const QString& name : subFolderNames(m_current)) {
        auto* item = new QListWidgetItem(shown(name), m_lstSousDossiers);
        item->setData(PathRole, childPath(m_current, name));
    }
    m_lstSousDossiers->setCurrentRow(-1);
}

void FolderBrowser::enterItem(QListWidgetItem* item) {
    if (item)
        enter(item->data(PathRole).toString());
}

void FolderBrowser::accept() {
    const QListWidgetItem* item = m_lstSousDossiers->currentItem();
    const bool subFolder = item && item->isSelected() && item->text() != u"..";
    m_chosen = subFolder ? item->data(PathRole).toString() : m_current;
    QDialog::accept();
}

} // namespace torvanelo
