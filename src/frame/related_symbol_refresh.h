// The related-symbol table the package publishes as "IRelatedSymbol", kept fresh by the cloud service:
// made from the files, it asks the cloud data manager for the report "CLOUD_HQ_RELATED_SYMBOLS" at once
// and is rebuilt from the report's table when the reply lands (its after-loaded call-backs then run). A
// failed reply leaves the files' relations. Made here, where both the reference tables and the cloud are
// known, so that neither depends on the other.
//
// Main thread only, as every on-demand service: the cloud reply is told on the main loop. The refresh (the
// cloud request, main-thread objects) is held here, not by the table: the table is also held by the quote
// engine's call-back, whose last reference may go on the engine's thread.
#pragma once

#include "core/data_cache.h"

namespace kdp {

InterfacePtr MakeRelatedSymbolWithCloudRefresh();
// Ends the refresh (at package stop, on the main thread); the table keeps the relations it has.
void FreeRelatedSymbolRefresh();

}  // namespace kdp
