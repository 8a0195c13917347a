* Stand-in: the display settings of a SALV table.
CLASS cl_salv_display_settings DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS set_list_header
      IMPORTING value TYPE lvc_title.
    METHODS set_striped_pattern
      IMPORTING value TYPE abap_bool.
    METHODS to_json
      RETURNING VALUE(rv_json) TYPE string.
  PRIVATE SECTION.
    DATA mv_header TYPE lvc_title.
    DATA mv_striped TYPE abap_bool.
ENDCLASS.

CLASS cl_salv_display_settings IMPLEMENTATION.
  METHOD set_list_header.
    mv_header = value.
  ENDMETHOD.

  METHOD set_striped_pattern.
    mv_striped = value.
  ENDMETHOD.

  METHOD to_json.
    rv_json = '{'.
    zcl_salv_capture=>member( EXPORTING iv_name = 'LIST_HEADER' iv_value = mv_header CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'STRIPED_PATTERN' iv_value = mv_striped CHANGING cv_json = rv_json ).
    CONCATENATE rv_json '}' INTO rv_json.
  ENDMETHOD.
ENDCLASS.
