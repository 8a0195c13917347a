* The ALV stand-ins and the adaptations of the execution tests, used the
* way a report with a saved layout, a sort table, totals and a row limit
* uses them: the default layout read at INITIALIZATION, the layout checked
* at AT SELECTION-SCREEN, the value help pressed once, the display called
* with every input it records.
REPORT zexec_alv_standins.
TYPE-POOLS slis.
TABLES sflight.
DATA gs_variant TYPE disvariant.
DATA gs_missing TYPE disvariant.
DATA gs_layout TYPE slis_layout_alv.
DATA gt_fieldcat TYPE slis_t_fieldcat_alv.
DATA gs_fieldcat TYPE slis_fieldcat_alv.
DATA gt_sort TYPE slis_t_sortinfo_alv.
DATA gs_sort TYPE slis_sortinfo_alv.
DATA gt_flights TYPE STANDARD TABLE OF sflight WITH DEFAULT KEY.
DATA gt_all TYPE STANDARD TABLE OF sflight WITH DEFAULT KEY.
DATA gv_count TYPE i.
DATA gv_text TYPE string.
PARAMETERS p_vari TYPE c LENGTH 12.
PARAMETERS p_max(4) TYPE n DEFAULT '0002'.
PARAMETERS p_all(4) TYPE n DEFAULT '0'.

INITIALIZATION.
  gs_variant-report = sy-repid.
  CALL FUNCTION 'REUSE_ALV_VARIANT_DEFAULT_GET'
    EXPORTING
      i_save     = 'A'
    CHANGING
      cs_variant = gs_variant
    EXCEPTIONS
      not_found  = 2.
  IF sy-subrc = 0.
    p_vari = gs_variant-variant.
  ENDIF.

AT SELECTION-SCREEN ON VALUE-REQUEST FOR p_vari.
  CALL FUNCTION 'REUSE_ALV_VARIANT_F4'
    EXPORTING
      is_variant = gs_variant
      i_save     = 'A'
    IMPORTING
      es_variant = gs_variant
    EXCEPTIONS
      not_found  = 2.
  p_vari = gs_variant-variant.

AT SELECTION-SCREEN.
  IF p_vari IS NOT INITIAL.
    gs_variant-variant = p_vari.
    CALL FUNCTION 'REUSE_ALV_VARIANT_EXISTENCE'
      EXPORTING
        i_save     = 'A'
      CHANGING
        cs_variant = gs_variant
      EXCEPTIONS
        not_found  = 2.
    IF sy-subrc <> 0.
      MESSAGE 'No such layout' TYPE 'E'.
    ENDIF.
  ENDIF.

START-OF-SELECTION.
  SELECT * FROM sflight INTO TABLE gt_flights UP TO p_max ROWS.
  SELECT * FROM sflight INTO TABLE gt_all UP TO p_all ROWS.
  gv_count = lines( gt_all ).
  gv_text = gv_count.
  CONDENSE gv_text.
  CONCATENATE 'ALL ROWS:' gv_text INTO gv_text SEPARATED BY space.
  WRITE / gv_text.

  gs_missing-report = sy-repid.
  gs_missing-variant = '/NONE'.
  CALL FUNCTION 'REUSE_ALV_VARIANT_EXISTENCE'
    EXPORTING
      i_save     = 'A'
    CHANGING
      cs_variant = gs_missing
    EXCEPTIONS
      not_found  = 2.
  gv_text = sy-subrc.
  CONDENSE gv_text.
  CONCATENATE 'MISSING LAYOUT:' gv_text INTO gv_text SEPARATED BY space.
  WRITE / gv_text.

* The user asks for the value help of the layout field.
  PERFORM value_request_1.

  gs_fieldcat-fieldname = 'CARRID'.
  gs_fieldcat-key = 'X'.
  APPEND gs_fieldcat TO gt_fieldcat.
  CLEAR gs_fieldcat.
  gs_fieldcat-fieldname = 'PRICE'.
  gs_fieldcat-do_sum = 'X'.
  APPEND gs_fieldcat TO gt_fieldcat.
  gs_sort-spos = 1.
  gs_sort-fieldname = 'CARRID'.
  gs_sort-down = 'X'.
  gs_sort-subtot = 'X'.
  APPEND gs_sort TO gt_sort.
  gs_layout-zebra = 'X'.
  CALL FUNCTION 'REUSE_ALV_GRID_DISPLAY'
    EXPORTING
      i_callback_program = sy-repid
      is_layout          = gs_layout
      it_fieldcat        = gt_fieldcat
      it_sort            = gt_sort
      i_save             = 'A'
      is_variant         = gs_variant
    TABLES
      t_outtab           = gt_flights
    EXCEPTIONS
      program_error      = 1.
