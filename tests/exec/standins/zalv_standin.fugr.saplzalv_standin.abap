*******************************************************************
*   ALV stand-ins of the execution tests
*******************************************************************
INCLUDE lzalv_standintop.
INCLUDE lzalv_standinf01.
