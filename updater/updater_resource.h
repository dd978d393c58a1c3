// Resources of NubUpdater.dll.
#pragma once

#define IDD_UPDATE_PROGRESS 1
#define IDC_UPDATE_STATUS 1001
#define IDC_UPDATE_PROGRESS 1002
