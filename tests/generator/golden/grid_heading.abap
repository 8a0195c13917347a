*******************************************************************
*                                                                 *
* Program Name : ZGOLDEN_GRID_HEADING                             *
* Program Description : Bookings per flight with the customer's data*
* Program Author : JSMITH                                         *
* Company Name : Northwind Air Services and Travel Agencies International Ltd*
*******************************************************************
Report ZGOLDEN_GRID_HEADING.
TYPE-POOLS : slis.

*************************
*Type Declaration       *
*************************

types : Begin OF t_Output,
  CARRID like SFLIGHT-CARRID,
  CONNID like SFLIGHT-CONNID,
  FLDATE like SFLIGHT-FLDATE,
  CITYFROM like SPFLI-CITYFROM,
  CITYTO like SPFLI-CITYTO,
  SEATSOCC_B like SFLIGHT-SEATSOCC_B,
  CARRNAME like SCARR-CARRNAME,

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
TABLES: SFLIGHT.
*************************
*Selection Screen*
*************************
SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_SEATS.
 SELECT-OPTIONS: s_SEATSO FOR SFLIGHT-SEATSOCC_B

  DEFAULT ''.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_SEAT2.
 SELECT-OPTIONS: s_SEATS2 FOR SFLIGHT-SEATSOCC_F

  OBLIGATORY
  DEFAULT '10'.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_CITYF.
 PARAMETER: P_CITYFR LIKE SPFLI-CITYFROM

  OBLIGATORY
  DEFAULT 'NEW YORK'.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_CARRN.
 PARAMETER: P_CARRNA LIKE SCARR-CARRNAME

  DEFAULT 'Lufthansa''s'.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-Screen: Skip 1.
SELECTION-SCREEN: END OF BLOCK b1..
*************************
*AT Selection Screen O/P*
*************************
AT SELECTION-SCREEN OUTPUT.
VS_SEATS = 'Occupied bus.'.
VS_SEAT2 = 'Occupied 1st'.
VS_CITYF = 'Depart.city '.
VS_CARRN = 'Airline''s name'.

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
A~CONNID 
A~FLDATE 
B~CITYFROM 
B~CITYTO 
A~SEATSOCC_B 
C~CARRNAME 
into table It_Output From 
SFLIGHT As A inner join SPFLI As B on A~CARRID = B~CARRID
 AND B~CONNID = A~CONNID
 inner join SCARR As C on C~CARRID = A~CARRID
 Where 
A~SEATSOCC_B  IN  S_SEATSO
 AND 
A~SEATSOCC_F  IN  S_SEATS2
 AND 
B~CITYFROM = P_CITYFR
 AND 
C~CARRNAME <> P_CARRNA
.
ENDFORM.
FORM BUILD_FIELD_CAT.
*************************
*Build ALV List Layout  *
*************************

  wa_fieldcat-fieldname = 'CARRID'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airline'.
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
  wa_fieldcat-fieldname = 'CITYFROM'.
  wa_fieldcat-ref_tabname = 'SPFLI'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Depart.city'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'CITYTO'.
  wa_fieldcat-ref_tabname = 'SPFLI'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Arrival city'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'SEATSOCC_B'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Occupied bus.'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'CARRNAME'.
  wa_fieldcat-ref_tabname = 'SCARR'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airline name'.
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
     i_callback_program             = 'ZGOLDEN_GRID_HEADING'
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
 WA_LINE-info = 'Customer''s bookings'.
 append WA_LINE TO IT_LINE.
WA_LINE-typ = 'S'.
 WRITE SY-DATUM TO G_DATE.
 CONCATENATE 'DATE:' G_DATE INTO WA_LINE-INFO.
 append WA_LINE TO IT_LINE.
call function 'REUSE_ALV_COMMENTARY_WRITE'
 exporting
 it_list_commentary = IT_LINE.

 endform. 
