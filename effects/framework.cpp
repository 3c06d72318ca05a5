#include "effects/framework.h"

#include <cstdint>
#include <cstring>

#include "plugin/guards.h"

int AppendFrame(FrameList* list, const FrameRecord* record) {
    if (!list || !record || list->count < 0 || list->count == INT32_MAX) return 0;
    const INT count = list->block ? list->count : 0;
    const SIZE_T bytes = static_cast<SIZE_T>(count + 1) * sizeof(FrameRecord);
    if (!list->block) {
        GlobalBlock block(GlobalAlloc(GHND, sizeof(FrameRecord)));
        if (!block) return 0;
        GlobalLockGuard<FrameRecord> records(block.get());
        if (!records) return 0;
        std::memcpy(records.get(), record, sizeof(FrameRecord));
        list->block = block.release();
        list->count = 1;
        return 1;
    }
    // A failed resize leaves the old block as it was.
    HGLOBAL grown = GlobalReAlloc(list->block, bytes, GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!grown) return 0;
    list->block = grown;
    GlobalLockGuard<FrameRecord> records(grown);
    if (!records) return 0;
    std::memcpy(records.get() + count, record, sizeof(FrameRecord));
    list->count = count + 1;
    return 1;
}

void FreeFrameList(FrameList* list) {
    if (!list) return;
    if (list->block) {
        {
            GlobalLockGuard<FrameRecord> records(list->block);
            if (records) {
                for (INT i = 0; i < list->count; ++i) {
                    if (records.get()[i].image) GlobalFree(records.get()[i].image);
                    if (records.get()[i].mask) GlobalFree(records.get()[i].mask);
                }
            }
        }
        GlobalFree(list->block);
    }
    list->block = nullptr;
    list->count = 0;
}

DWORD DefaultBackgroundColour(HWND, int) { return kNoBackground; }

int DefaultPageEvent(HWND, int) { return 1; }
