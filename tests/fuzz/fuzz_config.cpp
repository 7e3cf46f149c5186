// The configuration reader ("key value" lines, comments, INCLUDE), the
// remembered block (read back from the entries, and replaced in the text as
// a save does), and the text-line helpers on every line of the input.
#include "FuzzSupport.h"

#include "app/ParamStore.h"
#include "app/RememberedFields.h"
#include "app/TextLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    const QString path = FuzzSupport::writeInput(data, size, "cfg");
    ParamStore store;
    store.readConfigFile(path);
    volatile int sink = store.allRests("batch").size() + store.keys().size();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const RememberedFields::Values remembered = RememberedFields::fromStore(store);
    sink = sink + RememberedFields::replaceBlock(text, remembered).size();
    for (const QString &line : text.split('\n')) {
        QStringList items;
        QString cut = line;
        sink = sink + TextLine::stripComment(line).size() + TextLine::isBlank(line) +
               TextLine::itemsAfterPrefix(line, QStringLiteral("# Size"), &items) +
               TextLine::stripContinuationMark(&cut) + items.size();
    }
    (void)sink;
    return 0;
}
