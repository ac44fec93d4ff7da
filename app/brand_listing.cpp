#include "app/brand_listing.h"

#include "db/database.h"

void ListBrands(CDatabase& /*database*/) {}
