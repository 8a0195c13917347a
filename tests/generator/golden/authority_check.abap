*******************************************************************
*                                                                 *
* Program Name : ZGOLDEN_AUTHORITY                                *
* Program Description : Flights of one airline                    *
* Program Author :                                                *
* Company Name :                                                  *
*******************************************************************
Report ZGOLDEN_AUTHORITY.
TYPE-POOLS : slis.

*************************
*Type Declaration       *
*************************

types : Begin OF t_Output,
  CARRNAME like SCARR-CARRNAME,
  FLDATE like sflight-FLDATE,
  PRICE like sflight-PRICE,

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
*************************
*Selection Screen*
*************************
SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_CARRI.
 PARAMETER: P_CARRID LIKE SCARR-CARRID

  OBLIGATORY
  DEFAULT 'LH'.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-Screen: Skip 1.
SELECTION-SCREEN: END OF BLOCK b1..
*************************
*AT Selection Screen O/P*
*************************
AT SELECTION-SCREEN OUTPUT.
VS_CARRI = 'Airline'.

START-OF-SELECTION.
PERFORM GET_DATA.
PERFORM BUILD_FIELD_CAT.
PERFORM ALV_DISPLAY.

FORM GET_DATA.
*************************
*GET DATA FROM TABLES   *
*************************

PERFORM CHECK_AUTHORITY USING 'SCARR'.
PERFORM CHECK_AUTHORITY USING 'SFLIGHT'.
Select 
A~CARRNAME 
B~FLDATE 
B~PRICE 
into table It_Output From 
SCARR As A inner join sflight As B on A~CARRID = B~CARRID
 Where 
A~CARRID = P_CARRID
.
ENDFORM.
FORM CHECK_AUTHORITY USING u_table TYPE DD25V-VIEWNAME.
*************************
*CHECK DISPLAY AUTHORITY*
*************************
  DATA: l_message TYPE STRING.

  CALL FUNCTION 'VIEW_AUTHORITY_CHECK'
    EXPORTING
      view_action                    = 'S'
      view_name                      = u_table
    EXCEPTIONS
      invalid_action                 = 1
      no_authority                   = 2
      no_clientindependent_authority = 3
      table_not_found                = 4
      no_linedependent_authority     = 5.
  IF sy-subrc = 2 OR sy-subrc = 3 OR sy-subrc = 5.
    CONCATENATE 'No authorisation to display table' u_table
      INTO l_message SEPARATED BY SPACE.
    MESSAGE l_message TYPE 'S' DISPLAY LIKE 'E'.
    LEAVE LIST-PROCESSING.
  ENDIF.
ENDFORM.
FORM BUILD_FIELD_CAT.
*************************
*Build ALV List Layout  *
*************************

  wa_fieldcat-fieldname = 'CARRNAME'.
  wa_fieldcat-ref_tabname = 'SCARR'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airline'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'FLDATE'.
  wa_fieldcat-ref_tabname = 'sflight'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Date'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'PRICE'.
  wa_fieldcat-ref_tabname = 'sflight'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airfare'.
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
     i_callback_program             = 'ZGOLDEN_AUTHORITY'
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
WRITE: AT 1 '<Report Heading>'.
  NEW-LINE.
 WRITE: AT 50 'Date:'(T03), sy-datum.
 endform. 
