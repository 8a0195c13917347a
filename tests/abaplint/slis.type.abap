* Stand-in for the ALV type pool SLIS: only the types and the constant the
* generated reports use, with the components they address.
TYPE-POOL slis.

TYPES: BEGIN OF slis_fieldcat_alv,
         fieldname   TYPE c LENGTH 30,
         ref_tabname TYPE c LENGTH 30,
         tabname     TYPE c LENGTH 30,
         seltext_m   TYPE c LENGTH 20,
       END OF slis_fieldcat_alv.
TYPES slis_t_fieldcat_alv TYPE STANDARD TABLE OF slis_fieldcat_alv WITH DEFAULT KEY.

TYPES: BEGIN OF slis_alv_event,
         name TYPE c LENGTH 30,
         form TYPE c LENGTH 30,
       END OF slis_alv_event.
TYPES slis_t_event TYPE STANDARD TABLE OF slis_alv_event WITH DEFAULT KEY.

TYPES: BEGIN OF slis_listheader,
         typ  TYPE c LENGTH 1,
         key  TYPE c LENGTH 20,
         info TYPE c LENGTH 60,
       END OF slis_listheader.
TYPES slis_t_listheader TYPE STANDARD TABLE OF slis_listheader WITH DEFAULT KEY.

TYPES: BEGIN OF slis_sortinfo_alv,
         spos      TYPE n LENGTH 2,
         fieldname TYPE c LENGTH 30,
         up        TYPE c LENGTH 1,
         down      TYPE c LENGTH 1,
       END OF slis_sortinfo_alv.
TYPES slis_t_sortinfo_alv TYPE STANDARD TABLE OF slis_sortinfo_alv WITH DEFAULT KEY.

CONSTANTS slis_ev_top_of_page TYPE c LENGTH 30 VALUE 'TOP_OF_PAGE'.
