#include "db/field_exchange.h"
#include "db/not_built.h"

void ExchangeField(CFieldExchange*, const char16_t*, CString&) { NotBuilt("ExchangeField"); }
