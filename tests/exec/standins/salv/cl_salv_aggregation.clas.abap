* Stand-in: one aggregation of a SALV table.
CLASS cl_salv_aggregation DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS constructor
      IMPORTING iv_column      TYPE lvc_fname
                iv_aggregation TYPE i.
    METHODS get_columnname
      RETURNING VALUE(value) TYPE lvc_fname.
    METHODS to_json
      RETURNING VALUE(rv_json) TYPE string.
  PRIVATE SECTION.
    DATA mv_column TYPE lvc_fname.
    DATA mv_aggregation TYPE i.
ENDCLASS.

CLASS cl_salv_aggregation IMPLEMENTATION.
  METHOD constructor.
    mv_column = iv_column.
    mv_aggregation = iv_aggregation.
  ENDMETHOD.

  METHOD get_columnname.
    value = mv_column.
  ENDMETHOD.

  METHOD to_json.
    DATA lv_name TYPE string.
    CASE mv_aggregation.
      WHEN if_salv_c_aggregation=>total.
        lv_name = 'TOTAL'.
      WHEN if_salv_c_aggregation=>minimum.
        lv_name = 'MINIMUM'.
      WHEN if_salv_c_aggregation=>maximum.
        lv_name = 'MAXIMUM'.
      WHEN if_salv_c_aggregation=>average.
        lv_name = 'AVERAGE'.
      WHEN if_salv_c_aggregation=>count.
        lv_name = 'COUNT'.
      WHEN OTHERS.
        lv_name = |unknown value { mv_aggregation }|.
    ENDCASE.
    rv_json = '{'.
    zcl_salv_capture=>member( EXPORTING iv_name = 'COLUMNNAME' iv_value = mv_column CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'AGGREGATION' iv_value = lv_name CHANGING cv_json = rv_json ).
    CONCATENATE rv_json '}' INTO rv_json.
  ENDMETHOD.
ENDCLASS.
