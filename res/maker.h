// The maker's addresses, shared by the about box (its texts and links) and
// the update location. Plain macros, so the resource script can use them too.
// They are set when the build is configured (PK_MAKER_EMAIL,
// PK_MAKER_WEB_SITE in cmake/product.cmake).
#pragma once

#include "pk_maker.h"

#define PK_MAKER_MAILTO "mailto:" PK_MAKER_EMAIL
// The folder of update files on the maker's site.
#define PK_UPDATE_LOCATION PK_MAKER_WEB_SITE "/up/pixelkite/"
