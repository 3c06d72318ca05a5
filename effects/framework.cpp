#include "effects/framework.h"

#include <cstdint>
#include <cstring>

#include "plugin/guards.h"

int AppendFrame(FrameList* list, const FrameRecord* record) {
    if (!list || !record || list->count < 0 || list->count == INT32_MAX) return 0;
    const INT count = list->records ? list->count : 0;
    const SIZE_T bytes = static_cast<SIZE_T>(count + 1) * sizeof(FrameRecord);
    if (!list->records) {
        GlobalBlock block(GlobalAlloc(GHND, sizeof(FrameRecord)));
        if (!block) return 0;
        GlobalLockGuard<FrameRecord> records(block.get());
        if (!records) return 0;
        std::memcpy(records.get(), record, sizeof(FrameRecord));
        list->records = block.release();
        list->count = 1;
        return 1;
    }
    // A failed resize leaves the old block as it was.
    HGLOBAL grown = GlobalReAlloc(list->records, bytes, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!grown) return 0;
    list->records = grown;
    GlobalLockGuard<FrameRecord> records(grown);
    if (!records) return 0;
    std::memcpy(records.get() + count, record, sizeof(FrameRecord));
    list->count = count + 1;
    return 1;
}

void FreeFrameList(FrameList* list) {
    if (!list) return;
    if (list->records) {
        {
            GlobalLockGuard<FrameRecord> records(list->records);
            if (records) {
                for (INT i = 0; i < list->count; ++i) {
                    if (records.get()[i].image) GlobalFree(records.get()[i].image);
                    if (records.get()[i].mask) GlobalFree(records.get()[i].mask);
                }
            }
        }
        GlobalFree(list->records);
    }
    list->records = nullptr;
    list->count = 0;
}

DWORD DefaultBackgroundColour(HWND, int) { return kNoBackground; }

int DefaultPageEvent(HWND, int) { return 1; }
