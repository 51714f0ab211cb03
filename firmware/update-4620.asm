; Demo update of the MRK module, PIC18F4620: application from 0800h.
        list    p=18f4620
        #include <p18f4620.inc>

APP_BASE        equ     0x0800
#define VERSION "Mrk4620Ver45 demo"

        #include "update-common.inc"
        end
