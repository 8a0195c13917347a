* Stand-in: the layouts of a SALV table (the key they are saved under, who
* may save them, the layout shown first).
CLASS cl_salv_layout DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS set_key
      IMPORTING value TYPE salv_s_layout_key.
    METHODS set_save_restriction
      IMPORTING value TYPE i DEFAULT if_salv_c_layout=>restrict_none.
    METHODS set_initial_layout
      IMPORTING value TYPE slis_vari.
    METHODS set_default
      IMPORTING value TYPE abap_bool.
    METHODS to_json
      RETURNING VALUE(rv_json) TYPE string.
  PRIVATE SECTION.
    DATA ms_key TYPE salv_s_layout_key.
    DATA mv_restriction TYPE string.
    DATA mv_initial TYPE slis_vari.
    DATA mv_default TYPE abap_bool.
ENDCLASS.

CLASS cl_salv_layout IMPLEMENTATION.
  METHOD set_key.
    ms_key = value.
  ENDMETHOD.

  METHOD set_save_restriction.
    CASE value.
      WHEN if_salv_c_layout=>restrict_none.
        mv_restriction = 'NONE'.
      WHEN if_salv_c_layout=>restrict_user_dependant.
        mv_restriction = 'USER_DEPENDANT'.
      WHEN if_salv_c_layout=>restrict_user_independant.
        mv_restriction = 'USER_INDEPENDANT'.
      WHEN OTHERS.
        mv_restriction = |unknown value { value }|.
    ENDCASE.
  ENDMETHOD.

  METHOD set_initial_layout.
    mv_initial = value.
  ENDMETHOD.

  METHOD set_default.
    mv_default = value.
  ENDMETHOD.

  METHOD to_json.
    rv_json = '{'.
    zcl_salv_capture=>member( EXPORTING iv_name = 'REPORT' iv_value = ms_key-report CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'HANDLE' iv_value = ms_key-handle CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'LOGICAL_GROUP' iv_value = ms_key-logical_group
                              CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'SAVE_RESTRICTION' iv_value = mv_restriction
                              CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'INITIAL_LAYOUT' iv_value = mv_initial CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'DEFAULT' iv_value = mv_default CHANGING cv_json = rv_json ).
    CONCATENATE rv_json '}' INTO rv_json.
  ENDMETHOD.
ENDCLASS.
