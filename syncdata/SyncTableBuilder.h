#pragma once

#include "book/SyncFragment.h"

// The generated blocks that BookLoader::BuildSyncTable fills the table from.
// Block k writes rows 300 * (k - 1) to 300 * k - 1 and nothing else.
void FillSyncBlock01(SyncTable& table);
void FillSyncBlock02(SyncTable& table);
void FillSyncBlock03(SyncTable& table);
void FillSyncBlock04(SyncTable& table);
void FillSyncBlock05(SyncTable& table);
void FillSyncBlock06(SyncTable& table);
void FillSyncBlock07(SyncTable& table);
void FillSyncBlock08(SyncTable& table);
void FillSyncBlock09(SyncTable& table);
void FillSyncBlock10(SyncTable& table);
void FillSyncBlock11(SyncTable& table);
void FillSyncBlock12(SyncTable& table);
void FillSyncBlock13(SyncTable& table);
void FillSyncBlock14(SyncTable& table);
void FillSyncBlock15(SyncTable& table);
void FillSyncBlock16(SyncTable& table);
void FillSyncBlock17(SyncTable& table);
void FillSyncBlock18(SyncTable& table);
void FillSyncBlock19(SyncTable& table);
void FillSyncBlock20(SyncTable& table);
