*******************************************************************
*                                                                 *
* Program Name : ZEXEC_ALLOPT                                     *
* Program Description : Every option at once                      *
* Program Author : TESTER                                         *
* Company Name : Execution tests                                  *
*******************************************************************
Report ZEXEC_ALLOPT.
TYPE-POOLS : slis.

*************************
*Type Declaration       *
*************************

types : Begin OF t_Output,
  CARRID like SCARR-CARRID,
  CARRNAME like SCARR-CARRNAME,
  CONNID like SFLIGHT-CONNID,
  PRICE like SFLIGHT-PRICE,
  SEATSOCC like SFLIGHT-SEATSOCC,

end of t_Output.
*************************
*Internal Tables for ALV*
*************************
DATA: wa_fieldcat TYPE slis_fieldcat_alv.
DATA: it_fieldcat TYPE slis_t_fieldcat_alv.
DATA: wa_event TYPE slis_alv_event.
DATA: it_events TYPE slis_t_event.
DATA: wa_line TYPE  slis_listheader.
DATA: it_line TYPE slis_t_listheader.
DATA: wa_sort TYPE slis_sortinfo_alv.
DATA: it_sort TYPE slis_t_sortinfo_alv.
*************************
*DATA DECLARATION       *
*************************
DATA: G_DATE(10) TYPE C.
DATA: G_VARIANT TYPE DISVARIANT.
*************************
*Table Decl for O/P     *
*************************
DATA: IT_OUTPUT type STANDARD TABLE OF T_OUTPUT WITH HEADER LINE.
TABLES: SCARR.
*************************
*Selection Screen*
*************************
SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_CARRI.
 SELECT-OPTIONS: s_CARRID FOR SCARR-CARRID

  DEFAULT ''.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-Screen: Skip 1.
SELECTION-SCREEN: END OF BLOCK b1..
SELECTION-SCREEN: BEGIN OF BLOCK b2 WITH FRAME .
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(24) VS_MAX.
 PARAMETER: P_MAX TYPE I DEFAULT 500.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(24) VS_VARI.
 PARAMETER: P_VARI LIKE DISVARIANT-VARIANT.
 SELECTION-SCREEN: END OF LINE.
SELECTION-SCREEN: END OF BLOCK b2.
*************************
*AT Selection Screen O/P*
*************************
AT SELECTION-SCREEN OUTPUT.
VS_CARRI = 'Airline'.
VS_MAX = 'Maximum number of hits'.
VS_VARI = 'Layout'.

AT SELECTION-SCREEN ON P_MAX.
IF P_MAX < 0.
  MESSAGE 'Enter 0 (every row) or a positive number of hits' TYPE 'E'.
ENDIF.

INITIALIZATION.
G_VARIANT-REPORT = SY-REPID.
CALL FUNCTION 'REUSE_ALV_VARIANT_DEFAULT_GET'
  exporting
    i_save     = 'A'
  changing
    cs_variant = G_VARIANT
  exceptions
    not_found  = 2.
IF SY-SUBRC = 0.
  P_VARI = G_VARIANT-VARIANT.
ENDIF.

AT SELECTION-SCREEN ON VALUE-REQUEST FOR P_VARI.
G_VARIANT-REPORT = SY-REPID.
CALL FUNCTION 'REUSE_ALV_VARIANT_F4'
  exporting
    is_variant = G_VARIANT
    i_save     = 'A'
  importing
    es_variant = G_VARIANT
  exceptions
    not_found  = 2.
IF SY-SUBRC = 0.
  P_VARI = G_VARIANT-VARIANT.
ENDIF.

START-OF-SELECTION.
PERFORM GET_DATA.
PERFORM BUILD_FIELD_CAT.
PERFORM BUILD_SORT.
PERFORM ALV_DISPLAY.

FORM GET_DATA.
*************************
*GET DATA FROM TABLES   *
*************************

Select 
A~CARRID 
A~CARRNAME 
B~CONNID 
B~PRICE 
B~SEATSOCC 
into table It_Output From 
SCARR As A left outer join SFLIGHT As B on A~CARRID = B~CARRID
 UP TO P_MAX ROWS
 Where 
A~CARRID  IN  S_CARRID
 ORDER BY 
A~CARRID 
B~CONNID DESCENDING 
A~CARRNAME 
B~PRICE 
B~SEATSOCC 
.
ENDFORM.
FORM BUILD_FIELD_CAT.
*************************
*Build ALV List Layout  *
*************************

  wa_fieldcat-fieldname = 'CARRID'.
  wa_fieldcat-ref_tabname = 'SCARR'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airline'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'CARRNAME'.
  wa_fieldcat-ref_tabname = 'SCARR'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airline name'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'CONNID'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Connection'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'PRICE'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airfare'.
  wa_fieldcat-do_sum = 'X'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'SEATSOCC'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Seats taken'.
  wa_fieldcat-do_sum = 'X'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
ENDFORM.
FORM BUILD_SORT.
*************************
*Build ALV Sort Order   *
*************************

  wa_sort-spos = 1.
  wa_sort-fieldname = 'CARRID'.
  wa_sort-tabname = 'IT_OUTPUT'.
  wa_sort-up = 'X'.
  wa_sort-subtot = 'X'.
  APPEND wa_sort TO it_sort.
  CLEAR wa_sort.
  wa_sort-spos = 2.
  wa_sort-fieldname = 'CONNID'.
  wa_sort-tabname = 'IT_OUTPUT'.
  wa_sort-down = 'X'.
  APPEND wa_sort TO it_sort.
  CLEAR wa_sort.
ENDFORM.
FORM ALV_DISPLAY.
*************************
*DISPLAY REPORT IN ALV  *
*************************
perform alv_Eventtab_build.
G_VARIANT-REPORT = SY-REPID.
G_VARIANT-VARIANT = P_VARI.
CALL FUNCTION  'REUSE_ALV_GRID_DISPLAY'
  EXPORTING
     i_callback_program             = 'ZEXEC_ALLOPT'
    it_fieldcat = it_fieldcat
    it_sort = it_sort
    i_save = 'A'
    is_variant = G_VARIANT
    it_events = it_events
  TABLES
    t_outtab                       = IT_OUTPUT.
ENDFORM.
*************************
*Build ALV Events       *
*************************
form alv_Eventtab_build.
call function 'REUSE_ALV_EVENTS_GET'
     exporting
i_list_type = 0
     importing
et_events   = it_events.
read table it_events
     with key name = slis_ev_top_of_page
into wa_event.
if sy-subrc = 0.
   move 'TOP_OF_PAGE' to wa_event-form.
   modify it_events from wa_event index sy-tabix.
   endif.
ENDFORM.
*************************
*ALV TOP OF PAGE        *
*************************
form top_of_page.
WA_LINE-typ = 'H'.
 WA_LINE-info = 'Every option at once'.
 append WA_LINE TO IT_LINE.
WA_LINE-typ = 'S'.
 WRITE SY-DATUM TO G_DATE.
 CONCATENATE 'DATE:' G_DATE INTO WA_LINE-INFO.
 append WA_LINE TO IT_LINE.
call function 'REUSE_ALV_COMMENTARY_WRITE'
 exporting
 it_list_commentary = IT_LINE.

 endform. 
