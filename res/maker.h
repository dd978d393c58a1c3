// The maker's addresses, shared by the about box (its texts and links) and
// the update location. Plain macros, so the resource script can use them too.
#pragma once

#define PK_MAKER_EMAIL "support@pixelkite.example"
// https: the update library fetches from nothing else on the network.
#define PK_MAKER_WEB_SITE "https://www.pixelkite.example"

#define PK_MAKER_MAILTO "mailto:" PK_MAKER_EMAIL
// The folder of update files on the maker's site.
#define PK_UPDATE_LOCATION PK_MAKER_WEB_SITE "/up/pixelkite/"
