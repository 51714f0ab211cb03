; Boot loader of the MRK module, PIC18F452: boot region 0000h..02FFh.
        list    p=18f452
        #include <p18f452.inc>

        CONFIG  OSC = HS, OSCS = OFF
        CONFIG  PWRT = ON, BOR = ON, BORV = 42
        CONFIG  WDT = OFF, WDTPS = 128
        CONFIG  CCP2MUX = ON
        CONFIG  STVR = ON, LVP = OFF, DEBUG = OFF
        CONFIG  CP0 = OFF, CP1 = OFF, CP2 = OFF, CP3 = OFF, CPB = OFF, CPD = OFF
        CONFIG  WRT0 = OFF, WRT1 = OFF, WRT2 = OFF, WRT3 = OFF, WRTB = OFF, WRTC = OFF, WRTD = OFF
        CONFIG  EBTR0 = OFF, EBTR1 = OFF, EBTR2 = OFF, EBTR3 = OFF, EBTRB = OFF

APP_BASE        equ     0x0300
APP_END_U       equ     0x00    ; update region ends at 8000h
APP_END_H       equ     0x80
BLOCK           equ     d'8'    ; the chip writes 8 bytes at a time (the default radix is hex)
ROW_MASK        equ     0x3F

        #include "boot-common.inc"

        if      $ > APP_BASE
        error   "boot loader overruns the boot region"
        endif
        end
