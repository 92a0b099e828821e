// Resource and control ids shared by the resource script and the dialog procedures.
#pragma once

#define IDD_WIZARD 101
#define IDD_OVERWRITE 112
#define IDD_EXTRACT 116
#define IDI_PROGRAM 107
