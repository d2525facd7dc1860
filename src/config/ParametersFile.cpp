#include "ParametersFile.h"

#include "AtomicFile.h"
#include "Blanks.h"
#include "NameCodec.h"
#include "Texts.h"

#include <QByteArray>
#include <QHash>

#include <optional>
#include <utility>

namespace torvanelo {

namespace {

qsizetype firstNonBlank(const QByteArray& text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return i;
}

QString foldedName(const QByteArray& bytes) {
    return decodeFileName(bytes).toCaseFolded();
}

// "[name]" with optional blanks around; the name is what lies between the
// '[' and the first ']'.
std::optional<QByteArray> sectionName(const QByteArray& text) {
    const qsizetype open = firstNonBlank(text);
    if (open >= text.size() || text[open] != '[')
        return std::nullopt;
    const qsizetype close = text.indexOf(']', open + 1);
    if (close < 0)
        return std::nullopt;
    return trimmedBlanks(text.mid(open + 1, close - open - 1));
}

struct KeyLine {
    QByteArray name;
    qsizetype equals = 0; // position of the '='
};

// "name=value"; comments (';', '#') and lines without a name are not keys.
std::optional<KeyLine> keyLine(const QByteArray& text) {
    const qsizetype start = firstNonBlank(text);
    if (start >= text.size() || text[start] == ';' || text[start] == '#' || text[start] == '[')
        return std::nullopt;
    const qsizetype equals = text.indexOf('=', start);
    if (equals < 0)
        return std::nullopt;
    QByteArray name = trimmedBlanks(text.mid(start, equals - start));
    if (name.isEmpty())
        return std::nullopt;
    return KeyLine{std::move(name), equals};
}

bool holdsLineBreak(QStringView text) {
    return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(u'\0'));
}

} // namespace

// The file as lines grouped into blocks: the lines before the first section,
// then one block per section header. Each line keeps its own bytes and its
// own line end, so what the program does not change is written back as read.
class IniDocument {
public:
    static IniDocument parse(const QByteArray& content);
    QByteArray serialize() const;

    QString value(QStringView section, QStringView key) const;
    // False when the names or the value cannot be stored in INI lines.
    bool setValue(QStringView section, QStringView key, const QString& value);

private:
    struct Line {
        QByteArray text;
        QByteArray end; // "\r\n", "\n", or empty for a last line without one
    };
    struct Block {
        bool hasHeader = false; // lines[0] is the section header
        std::vector<Line> lines;
    };

    const Block* findSection(QStringView section) const;
    std::optional<std::size_t> findKey(const Block& block, QStringView key) const;
    void appendLine(Block& block, std::size_t after, QByteArray text);

    std::vector<Block> m_blocks{Block{}};
    QHash<QString, std::size_t> m_firstSection; // folded name -> block
    QByteArray m_lineEnd = "\r\n";              // for new lines: the file's own style
    // The file began with a UTF-8 byte-order mark: it is no part of the
    // first line, and is written back as found.
    bool m_byteOrderMark = false;
};

IniDocument IniDocument::parse(const QByteArray& content) {
    IniDocument document;
    bool lineEndSeen = false;
    qsizetype start = 0;
    if (content.startsWith(Utf8ByteOrderMark)) {
        document.m_byteOrderMark = true;
        start = Utf8ByteOrderMark.size();
    }
    while (start < content.size()) {
        qsizetype newline = content.indexOf('\n', start);
        Line line;
        if (newline < 0) {
            line.text = content.mid(start);
            start = content.size();
        } else {
            qsizetype textEnd = newline;
            if (textEnd > start && content[textEnd - 1] == '\r')
                --textEnd;
            line.text = content.mid(start, textEnd - start);
            line.end = content.mid(textEnd, newline + 1 - textEnd);
            start = newline + 1;
            if (!lineEndSeen) {
                document.m_lineEnd = line.end;
                lineEndSeen = true;
            }
        }
        if (const auto name = sectionName(line.text)) {
            document.m_blocks.push_back(Block{true, {}});
            // The first header of a name wins; a repeated one is only kept.
            const QString folded = foldedName(*name);
            if (!document.m_firstSection.contains(folded))
                document.m_firstSection.insert(folded, document.m_blocks.size() - 1);
        }
        document.m_blocks.back().lines.push_back(std::move(line));
    }
    return document;
}

QByteArray IniDocument::serialize() const {
    QByteArray content = m_byteOrderMark ? Utf8ByteOrderMark : QByteArray();
    for (const Block& block : m_blocks) {
        for (const Line& line : block.lines) {
            content.append(line.text);
            content.append(line.end);
        }
    }
    return content;
}

const IniDocument::Block* IniDocument::findSection(QStringView section) const {
    const auto it = m_firstSection.constFind(section.toString().toCaseFolded());
    return it == m_firstSection.constEnd() ? nullptr : &m_blocks[it.value()];
}

std::optional<std::size_t> IniDocument::findKey(const Block& block, QStringView key) const {
    const QString folded = key.toString().toCaseFolded();
    for (std::size_t i = block.hasHeader ? 1 : 0; i < block.lines.size(); ++i) {
        const auto parsed = keyLine(block.lines[i].text);
        if (parsed && foldedName(parsed->name) == folded)
            return i;
    }
    return std::nullopt;
}

QString IniDocument::value(QStringView section, QStringView key) const {
    const Block* block = findSection(section);
    if (block == nullptr)
        return {};
    const auto index = findKey(*block, key);
    if (!index)
        return {};
    const QByteArray& text = block->lines[*index].text;
    const qsizetype equals = keyLine(text)->equals;
    return decodeFileName(trimmedBlanks(text.mid(equals + 1)));
}

void IniDocument::appendLine(Block& block, std::size_t after, QByteArray text) {
    // Only the last line of the file can lack a line end; it needs one now
    // that a line follows it.
    if (after < block.lines.size() && block.lines[after].end.isEmpty())
        block.lines[after].end = m_lineEnd;
    block.lines.insert(block.lines.begin() + static_cast<std::ptrdiff_t>(after + 1),
                       Line{std::move(text), m_lineEnd});
}

bool IniDocument::setValue(QStringView section, QStringView key, const QString& value) {
    const QString trimmedKey = key.trimmed().toString();
    const QString trimmedSection = section.trimmed().toString();
    if (trimmedSection.isEmpty() || trimmedSection.contains(u']') || holdsLineBreak(section)
        || trimmedKey.isEmpty() || trimmedKey.contains(u'=') || holdsLineBreak(key)
        || trimmedKey.startsWith(u';') || trimmedKey.startsWith(u'#') || trimmedKey.startsWith(u'[')
        || holdsLineBreak(value))
        return false;

    const QByteArray encodedValue = encodeFileName(value);
    const auto it = m_firstSection.constFind(trimmedSection.toCaseFolded());
    if (it == m_firstSection.constEnd()) {
        // A new section at the end of the file.
        Block& last = m_blocks.back();
        if (!last.lines.empty() && last.lines.back().end.isEmpty())
            last.lines.back().end = m_lineEnd;
        Block block{true, {}};
        block.lines.push_back(Line{'[' + encodeFileName(trimmedSection) + ']', m_lineEnd});
        block.lines.push_back(Line{encodeFileName(trimmedKey) + '=' + encodedValue, m_lineEnd});
        m_blocks.push_back(std::move(block));
        m_firstSection.insert(trimmedSection.toCaseFolded(), m_blocks.size() - 1);
        return true;
    }

    Block& block = m_blocks[it.value()];
    if (const auto index = findKey(block, trimmedKey)) {
        // The key keeps its own spelling and indentation; only the value changes.
        Line& line = block.lines[*index];
        line.text = line.text.left(keyLine(line.text)->equals + 1) + encodedValue;
        return true;
    }
    // A new key goes after the last key of the section, so that comments
    // or blank lines that precede the next section stay where they are.
    std::size_t after = 0;
    for (std::size_t i = 1; i < block.lines.size(); ++i) {
        if (keyLine(block.lines[i].text))
            after = i;
    }
    appendLine(block, after, encodeFileName(trimmedKey) + '=' + encodedValue);
    return true;
}

QString ProfileSnapshot::ReadProfileValue(QStringView section, QStringView key) const {
    return m_document ? m_document->value(section, key) : QString();
}

ParametersFile::ParametersFile(QString path)
    : m_path(std::move(path)) {}

ProfileSnapshot ParametersFile::snapshot() const {
    ProfileSnapshot snapshot;
    const WholeFile file = readWholeFile(m_path);
    if (file.status == WholeFile::Status::Read)
        snapshot.m_document = std::make_shared<const IniDocument>(IniDocument::parse(file.content));
    return snapshot;
}

QString ParametersFile::ReadProfileValue(QStringView section, QStringView key) const {
    return snapshot().ReadProfileValue(section, key);
}

ParametersFileState ParametersFile::state() const {
    const WholeFile file = readWholeFile(m_path);
    switch (file.status) {
    case WholeFile::Status::Missing:
        return ParametersFileState::Missing;
    case WholeFile::Status::Failed:
        return ParametersFileState::Unreadable;
    case WholeFile::Status::Read:
        break;
    }
    // UTF-16 and UTF-32 (with or without their mark) hold NUL bytes in any
    // text of Latin letters, and so does nearly every binary file; no INI
    // line the program could use holds one.
    const QByteArray& content = file.content;
    if (content.startsWith("\xFF\xFE") || content.startsWith("\xFE\xFF") || content.contains('\0'))
        return ParametersFileState::NotText;
    return ParametersFileState::Text;
}

QString parametersFileFaultText(int language, ParametersFileState state, const QString& path) {
    const QString reason = state == ParametersFileState::NotText
                               ? Tr(language, u"Le fichier des paramètres n'est pas du texte UTF-8",
                                    u"The parameters file is not UTF-8 text")
                               : Tr(language, u"Le fichier des paramètres ne peut pas être lu",
                                    u"The parameters file cannot be read");
    return reason + QStringLiteral("\r\n") + path;
}

bool ParametersFile::WriteProfileValue(QStringView section, QStringView key, const QString& value) {
    return WriteProfileValues({ProfileValue{section.toString(), key.toString(), value}});
}

bool ParametersFile::WriteProfileValues(const std::vector<ProfileValue>& values) {
    const WholeFile file = readWholeFile(m_path);
    if (file.status == WholeFile::Status::Failed)
        return false;
    IniDocument document = IniDocument::parse(file.content);
    for (const ProfileValue& entry : values) {
        if (!document.setValue(entry.section, entry.key, entry.value))
            return false;
    }
    return writeFileAtomically(m_path, document.serialize());
}

} // namespace torvanelo
