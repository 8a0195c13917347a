*******************************************************************
*                                                                 *
* Program Name : /orvx/Zmixed                                     *
* Program Description : Flüge <& "Sitze">                         *
* Program Author :                                                *
* Company Name :                                                  *
*******************************************************************
Report /orvx/Zmixed.
TYPE-POOLS : slis.

*************************
*Type Declaration       *
*************************

types : Begin OF t_Output,
  CARRID like SFLIGHT-CARRID,

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
into table It_Output From 
SFLIGHT As A
.
ENDFORM.
FORM BUILD_FIELD_CAT.
*************************
*Build ALV List Layout  *
*************************

  wa_fieldcat-fieldname = 'CARRID'.
  wa_fieldcat-ref_tabname = 'SFLIGHT'.
  wa_fieldcat-tabname = 'IT_OUTPUT'.
  wa_fieldcat-seltext_m = 'Airline <& "code">'(001).
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
     i_callback_program             = '/orvx/Zmixed'
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
WA_LINE-typ = 'H'.
 WA_LINE-info = '<Report Heading>'(002).
 append WA_LINE TO IT_LINE.
WA_LINE-typ = 'S'.
 WRITE SY-DATUM TO G_DATE.
 CONCATENATE 'DATE:' G_DATE INTO WA_LINE-INFO.
 append WA_LINE TO IT_LINE.
call function 'REUSE_ALV_COMMENTARY_WRITE'
 exporting
 it_list_commentary = IT_LINE.

 endform. 
