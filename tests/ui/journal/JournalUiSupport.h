#pragma once

#include "OpenDocument.h"
#include "TestFiles.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <vector>

namespace torvanelo::test {

// Records what would have been handed to the browser, for as long as it lives.
class RecordedDocuments {
public:
    RecordedDocuments()
        : m_override([this](const QUrl& url) {
            urls.push_back(url);
            return true;
        }) {}

    // The local paths opened, in order.
    QStringList paths() const {
        QStringList opened;
        for (const QUrl& url : urls)
            opened << url.toLocalFile();
        return opened;
    }

    std::vector<QUrl> urls;

private:
    DocumentOpenerOverride m_override;
};

// Acts on a modal dialog from inside its event loop: `act` runs once the
// dialog named `name` is the active modal widget. Checked at every turn of
// the loop, so nothing waits for a fixed time; stops when the object dies.
class ModalScript {
public:
    ModalScript(const QString& name, std::function<void(QWidget*)> act) {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this, name, act] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->objectName() == name) {
                m_timer.stop();
                m_ran = true;
                act(modal);
            }
        });
        m_timer.start();
    }
    bool ran() const { return m_ran; }

private:
    QTimer m_timer;
    bool m_ran = false;
};

inline QString journalName(const QDate& date) {
    return QStringLiteral("Log Torvanelo ") + date.toString(u"yyyy-MM-dd") + QStringLiteral(".htm");
}

// `count` journals for the days before `today`, oldest first; returns their
// dates in that order.
inline std::vector<QDate> writeJournals(const QString& folder, const QDate& today, int count) {
    std::vector<QDate> dates;
    for (int day = count; day >= 1; --day) {
        const QDate date = today.addDays(-day);
        if (!writeFile(folder + u'/' + journalName(date), QByteArrayLiteral("<html>\r\n")))
            return {};
        dates.push_back(date);
    }
    return dates;
}

// The journal names in a folder, sorted.
inline QStringList journalsIn(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("Log Torvanelo*.htm")}, QDir::Files, QDir::Name);
}

} // namespace torvanelo::test
