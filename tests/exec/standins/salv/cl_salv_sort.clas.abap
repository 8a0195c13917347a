* Stand-in: one sort of a SALV table.
CLASS cl_salv_sort DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS constructor
      IMPORTING iv_column   TYPE lvc_fname
                iv_position TYPE i
                iv_sequence TYPE i
                iv_subtotal TYPE abap_bool
                iv_group    TYPE i.
    METHODS get_columnname
      RETURNING VALUE(value) TYPE lvc_fname.
    METHODS set_subtotal
      IMPORTING value TYPE abap_bool DEFAULT abap_true.
    METHODS to_json
      RETURNING VALUE(rv_json) TYPE string.
  PRIVATE SECTION.
    DATA mv_column TYPE lvc_fname.
    DATA mv_position TYPE i.
    DATA mv_sequence TYPE i.
    DATA mv_subtotal TYPE abap_bool.
    DATA mv_group TYPE i.
ENDCLASS.

CLASS cl_salv_sort IMPLEMENTATION.
  METHOD constructor.
    mv_column = iv_column.
    mv_position = iv_position.
    mv_sequence = iv_sequence.
    mv_subtotal = iv_subtotal.
    mv_group = iv_group.
  ENDMETHOD.

  METHOD get_columnname.
    value = mv_column.
  ENDMETHOD.

  METHOD set_subtotal.
    mv_subtotal = value.
  ENDMETHOD.

  METHOD to_json.
    DATA lv_sequence TYPE string.
    CASE mv_sequence.
      WHEN if_salv_c_sort=>sort_up.
        lv_sequence = 'UP'.
      WHEN if_salv_c_sort=>sort_down.
        lv_sequence = 'DOWN'.
      WHEN OTHERS.
        lv_sequence = |unknown value { mv_sequence }|.
    ENDCASE.
    rv_json = '{'.
    zcl_salv_capture=>member( EXPORTING iv_name = 'COLUMNNAME' iv_value = mv_column CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'POSITION' iv_value = mv_position CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'SEQUENCE' iv_value = lv_sequence CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'SUBTOTAL' iv_value = mv_subtotal CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'GROUP' iv_value = mv_group CHANGING cv_json = rv_json ).
    CONCATENATE rv_json '}' INTO rv_json.
  ENDMETHOD.
ENDCLASS.
