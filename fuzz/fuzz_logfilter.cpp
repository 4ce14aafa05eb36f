// The log filter: range search, feeding, ticking and the HTML it builds from device text.
#include "fuzzinput.h"
#include "views/core/logfiltercore.h"

#include <QStringList>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    LogFilterCore::Keywords keywords;
    for (auto& k : keywords) {
        k.text = in.text(6);
        k.direction = in.number(3);
        k.count = in.number(8);
    }
    const QString text = QString::fromUtf8(in.rest());
    const QStringList cache = text.split(QLatin1Char('\n'));
    for (const auto& k : keywords) {
        int first = -1, last = -1;
        if (LogFilterCore::findKeywordRange(cache, k.text, k.direction, k.count, first, last)) {
            if (first < 0 || last < first || last >= cache.size())
                abort();
        }
    }
    LogFilterCore filter;
    const QStringList chunks = text.split(QLatin1Char('\r'));
    for (const QString& chunk : chunks) {
        filter.feed(chunk, true);
        const QString html = filter.tick(keywords, chunk.size() % 2 ? -1 : 0);
        // Device text never becomes markup: every '<' in the output is one of ours.
        QString stripped = html;
        for (const char* tag : { "<br>", "<strong>", "</strong>" })
            stripped.remove(QLatin1String(tag));
        if (stripped.contains(QLatin1Char('<')))
            abort();
        if (filter.lines().size() > LogFilterCore::kMaxLines
            || filter.cachedChars() > LogFilterCore::kMaxChars)
            abort();
        if (filter.unexamined() < 0 || filter.unexamined() > filter.lines().size())
            abort();
    }
    // Nothing is left waiting for ever.
    for (int guard = 0; filter.hasWork(); ++guard) {
        if (guard > LogFilterCore::kMaxLines)
            abort();
        filter.tick(keywords, 0);
    }
    return 0;
}
