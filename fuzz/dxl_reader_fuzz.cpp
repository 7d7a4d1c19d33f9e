// Feeds arbitrary bytes to the DXL reader and walks what it read: the views
// (building their indexes), every item value and the rich-text parts.
#include "engine/dxlreader.h"
#include "engine/viewindex.h"
#include "platform/error.h"
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        auto db = engine::readDxlBytes(reinterpret_cast<const char*>(data), size, QStringLiteral("fuzz.dxl"));
        for (size_t v = 0; v < db->views.size(); ++v) {
            try {
                auto index = db->viewIndex(int(v));
                for (int p = 0; p < index->count(); ++p) {
                    try {
                        index->columnValues(p);
                    } catch (const platform::Error&) {
                    }
                }
            } catch (const platform::Error&) {
            }
        }
        for (uint32_t n = 0; n < db->notes.size(); ++n) {
            const engine::NoteRecord& note = db->notes[n];
            for (uint32_t i = 0; i < note.itemCount; ++i) {
                const engine::ItemRecord& item = db->items[note.firstItem + i];
                db->itemValues(item);
                db->richReferences(item);
            }
            db->attachmentNames(n);
            db->noteByUnid(note.unidText());
        }
    } catch (const platform::Error&) {
    }
    return 0;
}
