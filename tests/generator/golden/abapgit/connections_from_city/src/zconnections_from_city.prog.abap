*******************************************************************
*                                                                 *
* Program Name : ZCONNECTIONS_FROM_CITY                           *
* Program Description : Scheduled connections and flight dates from one city*
* Program Author : JSMITH                                         *
* Company Name : Northwind Air Services                           *
*******************************************************************
Report ZCONNECTIONS_FROM_CITY.
TYPE-POOLS : slis.

*************************
*Type Declaration       *
*************************

types : Begin OF t_Output,
  CARRID like SPFLI-CARRID,
  CONNID like SPFLI-CONNID,
  CITYFROM like SPFLI-CITYFROM,
  CITYTO like SPFLI-CITYTO,
  DEPTIME like SPFLI-DEPTIME,
  ARRTIME like SPFLI-ARRTIME,
  CARRNAME like SCARR-CARRNAME,
  FLDATE like SFLIGHT-FLDATE,
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
TABLES: SPFLI.
*************************
*Selection Screen*
*************************
SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_CITYF.
 PARAMETER: P_CITYFR LIKE SPFLI-CITYFROM

  OBLIGATORY
  DEFAULT 'FRANKFURT'.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_CARRI.
 SELECT-OPTIONS: s_CARRID FOR SPFLI-CARRID

  DEFAULT 'LH'.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-Screen: Skip 1.
SELECTION-SCREEN: END OF BLOCK b1..
*************************
*AT Selection Screen O/P*
*************************
AT SELECTION-SCREEN OUTPUT.
VS_CITYF = 'Depart.city'.
VS_CARRI = 'Airline'.

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
A~CITYFROM 
A~CITYTO 
A~DEPTIME 
A~ARRTIME 
B~CARRNAME 
C~FLDATE 
C~SEATSOCC 
into table It_Output From 
SPFLI As A inner join SCARR As B on A~CARRID = B~CARRID
 inner join SFLIGHT As C on A~CARRID = C~CARRID
 AND A~CONNID = C~CONNID
 Where 
A~CITYFROM = P_CITYFR
 AND 
A~CARRID  IN  S_CARRID
.
ENDFORM.
FORM BUILD_FIELD_CAT.
*************************
*Build ALV List Layout  *
*************************

  wa_fieldcat-fieldname = 'CARRID'.
  wa_fieldcat-ref_tabname = 'SPFLI'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airline'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'CONNID'.
  wa_fieldcat-ref_tabname = 'SPFLI'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Flight Number'.
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
  wa_fieldcat-fieldname = 'DEPTIME'.
  wa_fieldcat-ref_tabname = 'SPFLI'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Departure'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'ARRTIME'.
  wa_fieldcat-ref_tabname = 'SPFLI'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Arrival Time'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'CARRNAME'.
  wa_fieldcat-ref_tabname = 'SCARR'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airline name'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'FLDATE'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Date'.
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
CALL FUNCTION  'REUSE_ALV_LIST_DISPLAY'
  EXPORTING
     i_callback_program             = 'ZCONNECTIONS_FROM_CITY'
    it_fieldcat = it_fieldcat
*     it_events = it_events
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
WRITE: AT 1 'Connections'.
  NEW-LINE.
 WRITE: AT 50 'Date:'(T03), sy-datum.
 endform. 
