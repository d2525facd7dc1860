#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <chrono>

namespace torvanelo {

class FileSystem;
struct PassCounts;

// Where the passes spend their time: in the archiver runs, in the moves of
// files, in the parameters file (the archive counter), and in the pass as a
// whole, so that a slow pass can be taken apart (the benchmark reads it).
//
// Off unless the environment variable TORVANELO_COSTS names a file; each pass
// then appends one line to that file:
//   pass_ms=812.402 archiver_ms=640.118 archiver_runs=200 moves_ms=9.870
//   moves=200 parameters_ms=20.551 parameter_calls=200 handled=200
//   compressed=100 uncompressed=100
// (one line, blanks between the fields). Off, each measuring point costs the
// test of one flag: the work measured is the same code either way.
class PassCosts {
public:
    enum Kind { Archiver, Moves, Parameters, KindCount };

    // Measuring on when reportFile is not empty.
    explicit PassCosts(QString reportFile = QString());
    // The file named by TORVANELO_COSTS, or off.
    static PassCosts fromEnvironment();

    bool enabled() const { return !m_reportFile.isEmpty(); }

    // Times the rest of the enclosing scope under a kind; does nothing when
    // costs is null or off.
    class Span {
    public:
        Span(PassCosts* costs, Kind kind);
        ~Span();
        Span(const Span&) = delete;
        Span& operator=(const Span&) = delete;

    private:
        PassCosts* m_costs;
        Kind m_kind;
        std::chrono::steady_clock::time_point m_start;
    };

    // A new pass: every sum back to zero and the pass clock started.
    void startPass();
    // The line of the pass that started last, up to now.
    QByteArray passLine(const PassCounts& counts) const;
    // Appends passLine to the report file; false when off or not written.
    bool reportPass(FileSystem& files, const PassCounts& counts) const;

    qint64 nanoseconds(Kind kind) const { return m_nanoseconds[kind]; }
    qint64 calls(Kind kind) const { return m_calls[kind]; }

private:
    void add(Kind kind, std::chrono::steady_clock::duration spent);

    QString m_reportFile;
    std::chrono::steady_clock::time_point m_passStart;
    std::array<qint64, KindCount> m_nanoseconds{};
    std::array<qint64, KindCount> m_calls{};
};

} // namespace torvanelo
