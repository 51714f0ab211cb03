; Boot loader of the MRK module, PIC18F4620: boot region 0000h..07FFh.
        list    p=18f4620
        #include <p18f4620.inc>

        CONFIG  OSC = HS, FCMEN = OFF, IESO = OFF
        CONFIG  PWRT = ON, BOREN = SBORDIS, BORV = 1
        CONFIG  WDT = OFF, WDTPS = 128
        CONFIG  CCP2MX = PORTC, PBADEN = OFF, LPT1OSC = OFF, MCLRE = ON
        CONFIG  STVREN = ON, LVP = OFF, XINST = OFF, DEBUG = OFF
        CONFIG  CP0 = OFF, CP1 = OFF, CP2 = OFF, CP3 = OFF, CPB = OFF, CPD = OFF
        CONFIG  WRT0 = OFF, WRT1 = OFF, WRT2 = OFF, WRT3 = OFF, WRTB = OFF, WRTC = OFF, WRTD = OFF
        CONFIG  EBTR0 = OFF, EBTR1 = OFF, EBTR2 = OFF, EBTR3 = OFF, EBTRB = OFF

APP_BASE        equ     0x0800
APP_END_U       equ     0x01    ; update region ends at 10000h
APP_END_H       equ     0x00
BLOCK           equ     d'64'   ; the chip writes 64 bytes at a time (the default radix is hex)
ROW_MASK        equ     0x3F

        #include "boot-common.inc"

        if      $ > APP_BASE
        error   "boot loader overruns the boot region"
        endif
        end
