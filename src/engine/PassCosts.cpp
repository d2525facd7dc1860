#include "PassCosts.h"

#include "FileSystem.h"
#include "PassSummary.h"

#include <QtGlobal>

namespace torvanelo {

namespace {

using Clock = std::chrono::steady_clock;

QByteArray milliseconds(qint64 nanoseconds) {
    return QByteArray::number(double(nanoseconds) / 1e6, 'f', 3);
}

} // namespace

PassCosts::PassCosts(QString reportFile)
    : m_reportFile(std::move(reportFile)) {}

PassCosts PassCosts::fromEnvironment() {
    return PassCosts(qEnvironmentVariable("TORVANELO_COSTS"));
}

PassCosts::Span::Span(PassCosts* costs, Kind kind)
    : m_costs(costs != nullptr && costs->enabled() ? costs : nullptr)
    , m_kind(kind) {
    if (m_costs != nullptr)
        m_start = Clock::now();
}

PassCosts::Span::~Span() {
    if (m_costs != nullptr)
        m_costs->add(m_kind, Clock::now() - m_start);
}

void PassCosts::add(Kind kind, Clock::duration spent) {
    m_nanoseconds[kind] += std::chrono::duration_cast<std::chrono::nanoseconds>(spent).count();
    ++m_calls[kind];
}

void PassCosts::startPass() {
    m_nanoseconds.fill(0);
    m_calls.fill(0);
    if (enabled())
        m_passStart = Clock::now();
}

QByteArray PassCosts::passLine(const PassCounts& counts) const {
    const qint64 pass =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - m_passStart).count();
    return "pass_ms=" + milliseconds(pass) + " archiver_ms=" + milliseconds(m_nanoseconds[Archiver])
           + " archiver_runs=" + QByteArray::number(m_calls[Archiver]) + " moves_ms="
           + milliseconds(m_nanoseconds[Moves]) + " moves=" + QByteArray::number(m_calls[Moves])
           + " parameters_ms=" + milliseconds(m_nanoseconds[Parameters])
           + " parameter_calls=" + QByteArray::number(m_calls[Parameters])
           + " handled=" + QByteArray::number(counts.FilesHandled)
           + " compressed=" + QByteArray::number(counts.FilesCompressed)
           + " uncompressed=" + QByteArray::number(counts.FilesUncompressed) + '\n';
}

bool PassCosts::reportPass(FileSystem& files, const PassCounts& counts) const {
    return enabled() && files.appendToFile(m_reportFile, passLine(counts));
}

} // namespace torvanelo
