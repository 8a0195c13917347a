*******************************************************************
*                                                                 *
* Program Name : ZGOLDEN_DICTIONARY_TEXTS                         *
* Program Description : Flights with the dictionary's labels      *
* Program Author :                                                *
* Company Name :                                                  *
*******************************************************************
Report ZGOLDEN_DICTIONARY_TEXTS.
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
DATA: G_VARIANT TYPE DISVARIANT.
*************************
*Table Decl for O/P     *
*************************
DATA: IT_OUTPUT type STANDARD TABLE OF T_OUTPUT WITH HEADER LINE.
TABLES: sflight.
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
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(20) VS_FLDAT.
 SELECT-OPTIONS: s_FLDATE FOR sflight-FLDATE

  DEFAULT ''.
 SELECTION-SCREEN: END OF LINE.
 SELECTION-Screen: Skip 1.
SELECTION-SCREEN: END OF BLOCK b1..
SELECTION-SCREEN: BEGIN OF BLOCK b2 WITH FRAME .
 SELECTION-SCREEN: BEGIN OF LINE.
 SELECTION-SCREEN: COMMENT 1(24) VS_MAX.
 PARAMETER: P_MAX TYPE I DEFAULT 200.
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
VS_FLDAT = 'Flown on'(002).
VS_MAX = 'Maximum number of hits'(003).
VS_VARI = 'Layout'(004).

AT SELECTION-SCREEN ON P_MAX.
IF P_MAX < 0.
  MESSAGE 'Enter 0 (every row) or a positive number of hits'(005) TYPE 'E'.
ENDIF.

INITIALIZATION.
VS_CARRI = 'Airline'(001).
PERFORM DICTIONARY_LABEL USING 'SCARR' 'CARRID'
  CHANGING VS_CARRI.
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
 UP TO P_MAX ROWS
 Where 
A~CARRID = P_CARRID
 AND 
B~FLDATE  IN  S_FLDATE
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
    CONCATENATE 'No authorisation to display table'(006) u_table
      INTO l_message SEPARATED BY SPACE.
    MESSAGE l_message TYPE 'S' DISPLAY LIKE 'E'.
    LEAVE LIST-PROCESSING.
  ENDIF.
ENDFORM.
FORM DICTIONARY_LABEL USING u_table TYPE DDOBJNAME
                            u_field TYPE DFIES-LFIELDNAME
                      CHANGING c_label TYPE C.
*************************
*LABEL FROM DICTIONARY  *
*************************
  DATA: l_field TYPE DFIES.

  CALL FUNCTION 'DDIF_FIELDINFO_GET'
    EXPORTING
      tabname        = u_table
      lfieldname     = u_field
      langu          = SY-LANGU
    IMPORTING
      dfies_wa       = l_field
    EXCEPTIONS
      not_found      = 1
      internal_error = 2
      OTHERS         = 3.
  IF SY-SUBRC = 0 AND NOT l_field-SCRTEXT_M IS INITIAL.
    c_label = l_field-SCRTEXT_M.
  ENDIF.
ENDFORM.
FORM BUILD_FIELD_CAT.
*************************
*Build ALV List Layout  *
*************************

  wa_fieldcat-fieldname = 'CARRNAME'.
  wa_fieldcat-ref_tabname = 'SCARR'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'FLDATE'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
  wa_fieldcat-fieldname = 'PRICE'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Price per seat'(007).
  APPEND wa_fieldcat TO it_fieldcat.
  CLEAR wa_fieldcat.
ENDFORM.
FORM ALV_DISPLAY.
*************************
*DISPLAY REPORT IN ALV  *
*************************
perform alv_Eventtab_build.
G_VARIANT-REPORT = SY-REPID.
G_VARIANT-VARIANT = P_VARI.
CALL FUNCTION  'REUSE_ALV_LIST_DISPLAY'
  EXPORTING
     i_callback_program             = 'ZGOLDEN_DICTIONARY_TEXTS'
    it_fieldcat = it_fieldcat
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
WRITE: AT 1 'Flights of one airline'(008).
  NEW-LINE.
 WRITE: AT 50 'Date:'(T03), sy-datum.
 endform. 
