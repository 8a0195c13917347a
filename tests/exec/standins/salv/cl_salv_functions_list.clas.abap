* Stand-in: the toolbar functions of a SALV table.
CLASS cl_salv_functions_list DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS set_all
      IMPORTING value TYPE abap_bool DEFAULT abap_true.
    METHODS set_default
      IMPORTING value TYPE abap_bool DEFAULT abap_true.
    METHODS to_json
      RETURNING VALUE(rv_json) TYPE string.
  PRIVATE SECTION.
    DATA mv_all TYPE abap_bool.
    DATA mv_default TYPE abap_bool.
ENDCLASS.

CLASS cl_salv_functions_list IMPLEMENTATION.
  METHOD set_all.
    mv_all = value.
  ENDMETHOD.

  METHOD set_default.
    mv_default = value.
  ENDMETHOD.

  METHOD to_json.
    rv_json = '{'.
    zcl_salv_capture=>member( EXPORTING iv_name = 'ALL' iv_value = mv_all CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'DEFAULT' iv_value = mv_default CHANGING cv_json = rv_json ).
    CONCATENATE rv_json '}' INTO rv_json.
  ENDMETHOD.
ENDCLASS.
