*******************************************************************
*                                                                 *
* Program Name : ZGOLDEN_LIST_PLAIN                               *
* Program Description : Flight dates with their airline and connection*
* Program Author :                                                *
* Company Name : Northwind                                        *
*******************************************************************
Report ZGOLDEN_LIST_PLAIN.
TYPE-POOLS : slis.

*************************
*Type Declaration       *
*************************

types : Begin OF t_Output,
  FLDATE like SFLIGHT-FLDATE,
  PRICE like SFLIGHT-PRICE,
  CARRNAME like SCARR-CARRNAME,
  CITYFROM like SPFLI-CITYFROM,

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
TABLES: SPFLI.
TABLES: SCARR.
*************************
*Selection Screen*
*************************
SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_CARRI.
 SELECT-OPTIONS: s_CARRID FOR SFLIGHT-CARRID

  DEFAULT 'LH'.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_CARR2.
 SELECT-OPTIONS: s_CARRI2 FOR SPFLI-CARRID

  DEFAULT ''.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_CURRC.
 SELECT-OPTIONS: s_CURRCO FOR SCARR-CURRCODE

  DEFAULT 'EUR'.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-Screen: Skip 1.
SELECTION-SCREEN: END OF BLOCK b1..
*************************
*AT Selection Screen O/P*
*************************
AT SELECTION-SCREEN OUTPUT.
VS_CARRI = 'Airline'.
VS_CARR2 = 'Airline'.
VS_CURRC = 'Airline Currency'.

START-OF-SELECTION.
PERFORM GET_DATA.
PERFORM BUILD_FIELD_CAT.
PERFORM ALV_DISPLAY.

FORM GET_DATA.
*************************
*GET DATA FROM TABLES   *
*************************

Select 
A~FLDATE 
A~PRICE 
B~CARRNAME 
C~CITYFROM 
into table It_Output From 
SFLIGHT As A inner join SCARR As B on A~CARRID = B~CARRID
 inner join SPFLI As C on C~CARRID = A~CARRID
 AND A~CONNID = C~CONNID
 Where 
A~CARRID  IN  S_CARRID
 AND 
B~CURRCODE  IN  S_CURRCO
.
ENDFORM.
FORM BUILD_FIELD_CAT.
*************************
*Build ALV List Layout  *
*************************

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
  wa_fieldcat-fieldname = 'CARRNAME'.
  wa_fieldcat-ref_tabname = 'SCARR'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airline name'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'CITYFROM'.
  wa_fieldcat-ref_tabname = 'SPFLI'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Depart.city'.
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
     i_callback_program             = 'ZGOLDEN_LIST_PLAIN'
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
WRITE: AT 1 'Flights'.
  NEW-LINE.
 WRITE: AT 50 'Date:'(T03), sy-datum.
 endform. 
