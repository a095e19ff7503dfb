// What the benchmark and the floor program (batch_floor.exe) agree on.
#pragma once

#include <windows.h>

// The floor's window class; the window stays hidden between batches.
inline constexpr wchar_t kBatchFloorClass[] = L"QuendrixBatchFloor";
// Posted to that window: run the batch once.
inline constexpr UINT kRunFloorBatch = WM_APP + 1;
