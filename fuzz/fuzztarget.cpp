// One libFuzzer target; TORVANE_FUZZ_TARGET names the parser it feeds (see fuzzchecks.h).
#include "fuzzchecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString failure = FuzzChecks::check(QStringLiteral(TORVANE_FUZZ_TARGET), input);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", TORVANE_FUZZ_TARGET, failure.toUtf8().constData());
        std::abort();
    }
    return 0;
}
