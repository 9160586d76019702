#include "syncdata/SyncTableBuilder.h"

// Interim builder: sizes the table only; the generated rows replace it.
bool BuildSyncTable(SyncTable& table)
{
    table.SetSize(SyncFragmentCount);
    return true;
}
