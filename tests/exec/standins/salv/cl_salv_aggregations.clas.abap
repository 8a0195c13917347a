* Stand-in: the aggregations (totals) of a SALV table. As on SAP, a column
* that does not exist raises CX_SALV_NOT_FOUND, one aggregated twice
* CX_SALV_EXISTING, and a column that holds no number CX_SALV_DATA_ERROR.
CLASS cl_salv_aggregations DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS constructor
      IMPORTING io_columns TYPE REF TO cl_salv_columns_table.
    METHODS add_aggregation
      IMPORTING columnname   TYPE lvc_fname
                aggregation  TYPE i DEFAULT if_salv_c_aggregation=>total
      RETURNING VALUE(value) TYPE REF TO cl_salv_aggregation
      RAISING   cx_salv_data_error
                cx_salv_not_found
                cx_salv_existing.
    METHODS to_json
      RETURNING VALUE(rv_json) TYPE string.
  PRIVATE SECTION.
    DATA mo_columns TYPE REF TO cl_salv_columns_table.
    DATA mt_aggregations TYPE STANDARD TABLE OF REF TO cl_salv_aggregation WITH DEFAULT KEY.
ENDCLASS.

CLASS cl_salv_aggregations IMPLEMENTATION.
  METHOD constructor.
    mo_columns = io_columns.
  ENDMETHOD.

  METHOD add_aggregation.
    DATA lo_aggregation TYPE REF TO cl_salv_aggregation.
    DATA lv_kind TYPE string.
    lv_kind = mo_columns->component_kind( columnname ).
    IF lv_kind IS INITIAL.
      RAISE EXCEPTION TYPE cx_salv_not_found
        EXPORTING
          text = |Column { columnname } does not exist|.
    ENDIF.
    " Numbers only: integers, packed (amounts, quantities), floating point.
    IF lv_kind <> 'I' AND lv_kind <> 'P' AND lv_kind <> 'F' AND lv_kind <> 'b' AND lv_kind <> 's'
        AND lv_kind <> '8' AND lv_kind <> 'a' AND lv_kind <> 'e'.
      RAISE EXCEPTION TYPE cx_salv_data_error
        EXPORTING
          text = |Column { columnname } holds no numbers|.
    ENDIF.
    LOOP AT mt_aggregations INTO lo_aggregation.
      IF lo_aggregation->get_columnname( ) = columnname.
        RAISE EXCEPTION TYPE cx_salv_existing
          EXPORTING
            text = |Column { columnname } is aggregated already|.
      ENDIF.
    ENDLOOP.
    CREATE OBJECT value
      EXPORTING
        iv_column      = columnname
        iv_aggregation = aggregation.
    APPEND value TO mt_aggregations.
  ENDMETHOD.

  METHOD to_json.
    DATA lo_aggregation TYPE REF TO cl_salv_aggregation.
    rv_json = '['.
    LOOP AT mt_aggregations INTO lo_aggregation.
      zcl_salv_capture=>item( EXPORTING iv_raw = lo_aggregation->to_json( ) CHANGING cv_json = rv_json ).
    ENDLOOP.
    CONCATENATE rv_json ']' INTO rv_json.
  ENDMETHOD.
ENDCLASS.
