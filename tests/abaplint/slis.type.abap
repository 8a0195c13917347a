* Stand-in for the ALV type pool SLIS: the types and constants the generated
* reports and the ALV stand-ins of the execution tests use, with SAP's names
* and types for the components they hold (SAP's pool has more components).
TYPE-POOL slis.

TYPES: BEGIN OF slis_fieldcat_alv,
         col_pos       TYPE i,
         fieldname     TYPE c LENGTH 30,
         tabname       TYPE c LENGTH 30,
         ref_fieldname TYPE c LENGTH 30,
         ref_tabname   TYPE c LENGTH 30,
         seltext_l     TYPE c LENGTH 40,
         seltext_m     TYPE c LENGTH 20,
         seltext_s     TYPE c LENGTH 10,
         outputlen     TYPE n LENGTH 6,
         key           TYPE c LENGTH 1,
         no_out        TYPE c LENGTH 1,
         do_sum        TYPE c LENGTH 1,
         no_sum        TYPE c LENGTH 1,
         hotspot       TYPE c LENGTH 1,
         emphasize     TYPE c LENGTH 4,
         cfieldname    TYPE c LENGTH 30,
         qfieldname    TYPE c LENGTH 30,
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
         tabname   TYPE c LENGTH 30,
         up        TYPE c LENGTH 1,
         down      TYPE c LENGTH 1,
         group     TYPE c LENGTH 2,
         subtot    TYPE c LENGTH 1,
         comp      TYPE c LENGTH 1,
         expa      TYPE c LENGTH 1,
       END OF slis_sortinfo_alv.
TYPES slis_t_sortinfo_alv TYPE STANDARD TABLE OF slis_sortinfo_alv WITH DEFAULT KEY.

TYPES: BEGIN OF slis_layout_alv,
         zebra             TYPE c LENGTH 1,
         colwidth_optimize TYPE c LENGTH 1,
         no_totalline      TYPE c LENGTH 1,
         totals_only       TYPE c LENGTH 1,
         totals_text       TYPE c LENGTH 60,
         subtotals_text    TYPE c LENGTH 60,
         window_titlebar   TYPE c LENGTH 70,
       END OF slis_layout_alv.

TYPES slis_vari TYPE c LENGTH 12.

CONSTANTS slis_ev_top_of_page TYPE c LENGTH 30 VALUE 'TOP_OF_PAGE'.
CONSTANTS slis_ev_end_of_list TYPE c LENGTH 30 VALUE 'END_OF_LIST'.
CONSTANTS slis_ev_user_command TYPE c LENGTH 30 VALUE 'USER_COMMAND'.
CONSTANTS slis_ev_pf_status_set TYPE c LENGTH 30 VALUE 'PF_STATUS_SET'.
