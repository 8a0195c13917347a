*&---------------------------------------------------------------------*
*& Report ZFLIGHTS_BY_CARRIER
*& Flights and seat load per airline
*&---------------------------------------------------------------------*
*& Author:  JSMITH
*& Company: Northwind Air Services
*&---------------------------------------------------------------------*
REPORT zflights_by_carrier.

TABLES scarr.
TABLES sflight.

SELECTION-SCREEN BEGIN OF BLOCK b1 WITH FRAME.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_carri.
SELECT-OPTIONS s_carrid FOR scarr-carrid.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_fldat.
SELECT-OPTIONS s_fldate FOR sflight-fldate OBLIGATORY.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN SKIP 1.
SELECTION-SCREEN END OF BLOCK b1.

CLASS lcl_report DEFINITION FINAL.
  PUBLIC SECTION.
    METHODS run.

  PRIVATE SECTION.
    TYPES:
      BEGIN OF ty_output,
        carrid   TYPE scarr-carrid,
        carrname TYPE scarr-carrname,
        connid   TYPE sflight-connid,
        fldate   TYPE sflight-fldate,
        price    TYPE sflight-price,
        currency TYPE sflight-currency,
        seatsmax TYPE sflight-seatsmax,
        seatsocc TYPE sflight-seatsocc,
      END OF ty_output,
      ty_output_tab TYPE STANDARD TABLE OF ty_output WITH EMPTY KEY.

    DATA mt_output TYPE ty_output_tab.
    DATA mo_alv TYPE REF TO cl_salv_table.

    METHODS select_data.
    METHODS check_authority
      IMPORTING
        iv_table TYPE dd25v-viewname.
    METHODS display
      RAISING
        cx_salv_msg
        cx_salv_not_found
        cx_salv_data_error.
    METHODS set_column_text
      IMPORTING
        io_columns TYPE REF TO cl_salv_columns_table
        iv_column  TYPE lvc_fname
        iv_text    TYPE csequence
      RAISING
        cx_salv_not_found.
    METHODS heading
      RETURNING
        VALUE(ro_heading) TYPE REF TO cl_salv_form_layout_grid.
ENDCLASS.

CLASS lcl_report IMPLEMENTATION.
  METHOD run.
    select_data( ).
    TRY.
        display( ).
      CATCH cx_salv_msg cx_salv_not_found cx_salv_data_error INTO DATA(lx_error).
        MESSAGE lx_error TYPE 'I' DISPLAY LIKE 'E'.
    ENDTRY.
  ENDMETHOD.

  METHOD select_data.
    check_authority( 'SCARR' ).
    check_authority( 'SFLIGHT' ).
    SELECT a~carrid, a~carrname, b~connid, b~fldate, b~price, b~currency, b~seatsmax, b~seatsocc
      FROM scarr AS a
      INNER JOIN sflight AS b ON a~carrid = b~carrid
      INTO TABLE @mt_output
      WHERE a~carrid IN @s_carrid
        AND b~fldate IN @s_fldate
      ORDER BY a~carrid, a~carrname, b~connid, b~fldate, b~price, b~currency, b~seatsmax, b~seatsocc ##SUBRC_OK.
  ENDMETHOD.

  METHOD check_authority.
    CALL FUNCTION 'VIEW_AUTHORITY_CHECK'
      EXPORTING
        view_action                    = 'S'
        view_name                      = iv_table
      EXCEPTIONS
        invalid_action                 = 1
        no_authority                   = 2
        no_clientindependent_authority = 3
        table_not_found                = 4
        no_linedependent_authority     = 5.
    IF sy-subrc = 2 OR sy-subrc = 3 OR sy-subrc = 5.
      MESSAGE |{ 'No authorisation to display table'(001) } { iv_table }| TYPE 'S' DISPLAY LIKE 'E'.
      LEAVE LIST-PROCESSING.
    ENDIF.
  ENDMETHOD.

  METHOD display.
    cl_salv_table=>factory( IMPORTING r_salv_table = mo_alv
                            CHANGING  t_table      = mt_output ).
    mo_alv->get_functions( )->set_all( abap_true ).

    DATA(lo_columns) = mo_alv->get_columns( ).
    lo_columns->set_optimize( abap_true ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CARRID'
                     iv_text    = 'Airline'(002) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CARRNAME'
                     iv_text    = 'Airline name'(003) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CONNID'
                     iv_text    = 'Flight Number'(004) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'FLDATE'
                     iv_text    = 'Date'(005) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'PRICE'
                     iv_text    = 'Airfare'(006) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CURRENCY'
                     iv_text    = 'Airline Currency'(007) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'SEATSMAX'
                     iv_text    = 'Max. capacity econ.'(008) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'SEATSOCC'
                     iv_text    = 'Occupied econ.'(009) ).

    mo_alv->get_columns( )->get_column( 'PRICE' )->set_currency_column( 'CURRENCY' ).

    DATA(lo_layout) = mo_alv->get_layout( ).
    lo_layout->set_key( VALUE salv_s_layout_key( report = sy-repid ) ).
    lo_layout->set_save_restriction( if_salv_c_layout=>restrict_none ).

    mo_alv->set_top_of_list( heading( ) ).
    mo_alv->display( ).
  ENDMETHOD.

  METHOD set_column_text.
    DATA(lo_column) = io_columns->get_column( iv_column ).
    lo_column->set_long_text( CONV #( iv_text ) ).
    lo_column->set_medium_text( CONV #( iv_text ) ).
    lo_column->set_short_text( CONV #( iv_text ) ).
  ENDMETHOD.

  METHOD heading.
    ro_heading = NEW #( ).
    ro_heading->create_header_information( row    = 1
                                           column = 1
                                           text   = 'Flights by Airline'(010) ).
    ro_heading->create_text( row    = 2
                             column = 1
                             text   = |{ 'Date:'(011) } { sy-datum DATE = USER }| ).
  ENDMETHOD.
ENDCLASS.

INITIALIZATION.
  sc_carri = 'Airline'(002).
  sc_fldat = 'Date'(005).

START-OF-SELECTION.
  NEW lcl_report( )->run( ).
