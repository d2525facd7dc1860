#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace torvanelo {

// Hands a document or a web address to the desktop, which opens it with the
// program the user associates with it (the web browser for ".htm" files and
// web addresses). A text starting with '/' is a local path, any byte of its
// name kept; anything else is taken as an address. Returns whether the
// desktop accepted it; what happens after that is the desktop's affair.
bool OpenDocument(const QString& pathOrAddress);

// The address OpenDocument hands on for a text.
QUrl DocumentUrl(const QString& pathOrAddress);

// What hands the address to the desktop: QDesktopServices::openUrl unless a
// test puts a recorder in its place for as long as the guard lives.
using DocumentOpener = std::function<bool(const QUrl&)>;

class DocumentOpenerOverride {
public:
    explicit DocumentOpenerOverride(DocumentOpener opener);
    ~DocumentOpenerOverride();
    DocumentOpenerOverride(const DocumentOpenerOverride&) = delete;
    DocumentOpenerOverride& operator=(const DocumentOpenerOverride&) = delete;

private:
    DocumentOpener m_previous;
};

} // namespace torvanelo
