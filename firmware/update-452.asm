; Demo update of the MRK module, PIC18F452: application from 0300h.
        list    p=18f452
        #include <p18f452.inc>

APP_BASE        equ     0x0300
#define VERSION "MrkVer45 demo"

        #include "update-common.inc"
        end
