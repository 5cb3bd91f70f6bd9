// Resource identifiers of the module.
#pragma once

#define IDS_ORVANTA 1           // control display name
#define IDS_ORVANTA_PPG 2       // property page display name
#define IDS_ORVANTA_PPG_CAPTION 200

#define IDD_ABOUTBOX 1
#define IDD_PROPPAGE_ORVANTA 200

#define IDB_ORVANTA 1           // toolbox bitmap

#define IDC_STATIC (-1)
