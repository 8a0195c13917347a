*******************************************************************
*                                                                 *
* Program Name : ZFLIGHTS_BY_CARRIER                              *
* Program Description : Flights and seat load per airline         *
* Program Author : JSMITH                                         *
* Company Name : Northwind Air Services                           *
*******************************************************************
Report ZFLIGHTS_BY_CARRIER.
TYPE-POOLS : slis.

*************************
*Type Declaration       *
*************************

types : Begin OF t_Output,
  CARRID like SCARR-CARRID,
  CARRNAME like SCARR-CARRNAME,
  CONNID like SFLIGHT-CONNID,
  FLDATE like SFLIGHT-FLDATE,
  PRICE like SFLIGHT-PRICE,
  CURRENCY like SFLIGHT-CURRENCY,
  SEATSMAX like SFLIGHT-SEATSMAX,
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
*************************
*Table Decl for O/P     *
*************************
DATA: IT_OUTPUT type STANDARD TABLE OF T_OUTPUT WITH HEADER LINE.
TABLES: SCARR.
TABLES: SFLIGHT.
*************************
*Selection Screen*
*************************
SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_CARRI.
 SELECT-OPTIONS: s_CARRID FOR SCARR-CARRID

  DEFAULT ''.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_FLDAT.
 SELECT-OPTIONS: s_FLDATE FOR SFLIGHT-FLDATE

  OBLIGATORY
  DEFAULT ''.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-Screen: Skip 1.
SELECTION-SCREEN: END OF BLOCK b1..
*************************
*AT Selection Screen O/P*
*************************
AT SELECTION-SCREEN OUTPUT.
VS_CARRI = 'Airline'.
VS_FLDAT = 'Date'.

START-OF-SELECTION.
PERFORM GET_DATA.
PERFORM BUILD_FIELD_CAT.
PERFORM ALV_DISPLAY.

FORM GET_DATA.
*************************
*GET DATA FROM TABLES   *
*************************

Select 
A~CARRID 
A~CARRNAME 
B~CONNID 
B~FLDATE 
B~PRICE 
B~CURRENCY 
B~SEATSMAX 
B~SEATSOCC 
into table It_Output From 
SCARR As A inner join SFLIGHT As B on A~CARRID = B~CARRID
 Where 
A~CARRID  IN  S_CARRID
 AND 
B~FLDATE  IN  S_FLDATE
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
  wa_fieldcat-seltext_m = 'Flight Number'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'FLDATE'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Date'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'PRICE'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airfare'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'CURRENCY'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airline Currency'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'SEATSMAX'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Max. capacity econ.'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'SEATSOCC'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Occupied econ.'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
ENDFORM.
FORM ALV_DISPLAY.
*************************
*DISPLAY REPORT IN ALV  *
*************************
perform alv_Eventtab_build.
CALL FUNCTION  'REUSE_ALV_GRID_DISPLAY'
  EXPORTING
     i_callback_program             = 'ZFLIGHTS_BY_CARRIER'
    it_fieldcat = it_fieldcat
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
 WA_LINE-info = 'Flights by Airline'.
 append WA_LINE TO IT_LINE.
WA_LINE-typ = 'S'.
 WRITE SY-DATUM TO G_DATE.
 CONCATENATE 'DATE:' G_DATE INTO WA_LINE-INFO.
 append WA_LINE TO IT_LINE.
call function 'REUSE_ALV_COMMENTARY_WRITE'
 exporting
 it_list_commentary = IT_LINE.

 endform. 
