#pragma once

#include "FileSystem.h"

#include <QString>

#include <functional>
#include <map>
#include <set>
#include <utility>

namespace torvanelo::test {

// Wraps a real file system and makes chosen calls fail, to walk the failure
// paths of the code that uses it. Only the calls that act on files fail
// (queries such as exists or isHidden always answer truly): a failing call
// returns its failure value without touching anything, as the real call
// would when the system refuses it.
class FaultyFileSystem final : public FileSystem {
public:
    enum class Call {
        List,
        SetHidden,
        SetNormal,
        Remove,
        MakeFolder,
        RemoveFolder,
        Move,
        WriteFile,
        AppendToFile,
        ReadFile,
        MakeDurable,
    };

    explicit FaultyFileSystem(FileSystem& real)
        : m_real(real) {}

    // The nth call of this kind from now on (1 is the next one) fails.
    void failNth(Call call, int n) { m_failAt[call] = m_counts[call] + n; }
    // Every call of this kind on this exact path fails.
    void failPath(Call call, const QString& path) { m_failPaths.insert({call, path}); }
    void clearFaults() {
        m_failAt.clear();
        m_failPaths.clear();
    }
    // How many calls of this kind were made so far.
    int count(Call call) const {
        const auto found = m_counts.find(call);
        return found == m_counts.end() ? 0 : found->second;
    }
    int failures() const { return m_failures; }

    // Runs before every acting call, with its kind and (first) path: lets a
    // test change the world at a precise moment.
    std::function<void(Call, const QString&)> beforeCall;

    std::optional<std::vector<DirectoryEntry>> list(const QString& folder) const override {
        if (fails(Call::List, folder))
            return std::nullopt;
        return m_real.list(folder);
    }
    bool exists(const QString& path) const override { return m_real.exists(path); }
    std::optional<FileInfo> info(const QString& path) const override { return m_real.info(path); }
    bool isHidden(const QString& path) const override { return m_real.isHidden(path); }
    bool setHidden(const QString& path, bool hidden) override {
        return !fails(Call::SetHidden, path) && m_real.setHidden(path, hidden);
    }
    bool setNormal(const QString& path) override {
        return !fails(Call::SetNormal, path) && m_real.setNormal(path);
    }
    bool remove(const QString& path) override {
        return !fails(Call::Remove, path) && m_real.remove(path);
    }
    bool makeFolder(const QString& path) override {
        return !fails(Call::MakeFolder, path) && m_real.makeFolder(path);
    }
    bool removeFolder(const QString& path) override {
        return !fails(Call::RemoveFolder, path) && m_real.removeFolder(path);
    }
    bool makeDurable(const QString& path) override {
        return !fails(Call::MakeDurable, path) && m_real.makeDurable(path);
    }
    bool move(const QString& from, const QString& to, Replace replace) override {
        return !fails(Call::Move, from) && m_real.move(from, to, replace);
    }
    std::unique_ptr<HeldFolder> makePrivateFolder(const QString& path) override {
        if (fails(Call::MakeFolder, path))
            return nullptr;
        return m_real.makePrivateFolder(path);
    }
    std::unique_ptr<HeldFolder> openPrivateFolder(const QString& path) override {
        return m_real.openPrivateFolder(path);
    }
    std::unique_ptr<FolderLock> lockFolder(const QString& path, bool& busy) override {
        return m_real.lockFolder(path, busy);
    }
    bool isSameFolder(const QString& first, const QString& second) const override {
        return m_real.isSameFolder(first, second);
    }
    OpenState openState(const QString& path) override { return m_real.openState(path); }
    bool createHidden(const QString& path, const QByteArray& content) override {
        return !fails(Call::WriteFile, path) && m_real.createHidden(path, content);
    }
    bool writeFile(const QString& path, const QByteArray& content) override {
        return !fails(Call::WriteFile, path) && m_real.writeFile(path, content);
    }
    bool appendToFile(const QString& path, const QByteArray& content) override {
        return !fails(Call::AppendToFile, path) && m_real.appendToFile(path, content);
    }
    std::optional<QByteArray> readFile(const QString& path, qint64 maxSize) const override {
        if (fails(Call::ReadFile, path))
            return std::nullopt;
        return m_real.readFile(path, maxSize);
    }

private:
    bool fails(Call call, const QString& path) const {
        if (beforeCall)
            beforeCall(call, path);
        const int number = ++m_counts[call];
        const auto at = m_failAt.find(call);
        const bool failing =
            (at != m_failAt.end() && at->second == number) || m_failPaths.count({call, path}) != 0;
        if (failing)
            ++m_failures;
        return failing;
    }

    FileSystem& m_real;
    mutable std::map<Call, int> m_counts;
    std::map<Call, int> m_failAt;
    std::set<std::pair<Call, QString>> m_failPaths;
    mutable int m_failures = 0;
};

} // namespace torvanelo::test
